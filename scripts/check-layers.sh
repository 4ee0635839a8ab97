#!/usr/bin/env bash
# Fails when a file under src/ includes a header from a layer above its own. The layers, lowest
# first, are the top folders of src/:
#
#   Native <- Shared <- Models <- Services <- Features <- App
#
# A layer may include its own headers and those of any layer below it. Project headers are named by
# their path from src/ ("Shared/Text/TextUtils.h"); a relative or unprefixed name would hide the
# layer it comes from, so it fails too. tests/ and bench/ may include anything and are not read.
#
# Usage: scripts/check-layers.sh [source root]   (ctest runs it as LayerCheck)
set -euo pipefail

root="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
layers=(Native Shared Models Services Features App)
chain="Native <- Shared <- Models <- Services <- Features <- App"

declare -A rank
for i in "${!layers[@]}"; do
    rank[${layers[$i]}]=$i
done

failures=0
report() {
    echo "$1" >&2
    failures=$((failures + 1))
}

quoted='^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)"'
angled='^[[:space:]]*#[[:space:]]*include[[:space:]]*<([A-Za-z]+)/[^>]+>'
checked=0
for layer in "${layers[@]}"; do
    own=${rank[$layer]}
    [[ -d $root/src/$layer ]] || continue
    checked=$((checked + $(find "$root/src/$layer" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) | wc -l)))
    # Only the include lines are read: file:line:text.
    while IFS= read -r hit; do
        file=${hit%%:*}
        rest=${hit#*:}
        line_number=${rest%%:*}
        line=${rest#*:}
        where="${file#"$root"/}:$line_number"
        if [[ $line =~ $quoted ]]; then
            header=${BASH_REMATCH[1]}
            top=${header%%/*}
            if [[ $header != */* || -z ${rank[$top]+set} ]]; then
                report "$where: includes \"$header\"; name project headers by their path from src/ so that their layer shows"
                continue
            fi
        elif [[ $line =~ $angled ]]; then
            top=${BASH_REMATCH[1]}
            [[ -n ${rank[$top]+set} ]] || continue
            header=${line#*<}
            header=${header%%>*}
        else
            continue
        fi
        if ((rank[$top] > own)); then
            report "$where: $layer includes $header from $top, a layer above it ($chain)"
        fi
    done < <(grep -rn --include='*.h' --include='*.cpp' --include='*.c' -E '^[[:space:]]*#[[:space:]]*include' "$root/src/$layer" || true)
done

if ((checked == 0)); then
    echo "check-layers: no sources found under $root/src" >&2
    exit 2
fi
if ((failures > 0)); then
    echo "check-layers: $failures include(s) break the layering" >&2
    exit 1
fi
echo "check-layers: $checked files, every include stays in its layer or goes down"
