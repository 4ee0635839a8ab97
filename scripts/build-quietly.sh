#!/usr/bin/env bash
# Configures a preset and builds the given targets, showing one progress line instead of the
# compiler's. Everything the build printed is kept in build/<preset>/build.log; when it fails, the
# failing step's messages are shown.
#   scripts/build-quietly.sh PRESET TARGET...
set -uo pipefail
cd "$(dirname "$0")/.."

preset=$1
shift
log="build/$preset/build.log"
mkdir -p "build/$preset"

if ! cmake --preset "$preset" >"$log" 2>&1; then
  cat "$log" >&2
  exit 1
fi

# On a terminal the line is rewritten in place; elsewhere only its start and end are printed.
tty=false
[ -t 2 ] && tty=true
$tty || echo "Building Lumivox ($preset)…" >&2
NINJA_STATUS='[%f/%t] ' cmake --build --preset "$preset" -j "${JOBS:-$(nproc)}" --target "$@" 2>&1 |
  tee -a "$log" |
  while IFS= read -r line; do
    if $tty && [[ "$line" =~ ^\[([0-9]+)/([0-9]+)\]\  ]]; then
      printf '\rBuilding Lumivox (%s): %s of %s steps ' "$preset" "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}" >&2
    fi
  done
status=${PIPESTATUS[0]}
$tty && printf '\r\033[K' >&2

if [ "$status" -ne 0 ]; then
  echo "The build failed; its messages (all of them are in $log):" >&2
  if grep -q '^FAILED: ' "$log"; then
    sed -n '/^FAILED: /,$p' "$log" | head -n 80 >&2
  else
    tail -n 40 "$log" >&2
  fi
  exit "$status"
fi
$tty || echo "Built." >&2
