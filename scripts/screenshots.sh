#!/usr/bin/env bash
# Renders every window, pane and tooltip state to PNG files under build/screenshots/.
# Each tests/Screenshots/<Name>.cpp is one program that writes its own PNGs into
# $LUMIVOX_SCREENSHOTS_DIR; every one runs inside the private desktop session, so what is drawn
# uses the same X server, fonts and colour scheme as a real desktop.
# Usage: scripts/screenshots.sh [NAME...]   (no names: all of them)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh run test
cmake --preset dev >/dev/null
cmake --build --preset dev --target screenshots -j "$(nproc)"
out="$PWD/build/screenshots"
mkdir -p "$out"
export LUMIVOX_SCREENSHOTS_DIR="$out" LUMIVOX_SOURCE_DIR="$PWD" LUMIVOX_FIXTURES_DIR="$PWD/build/dev/fixtures"
status=0
for program in build/dev/screenshots/*; do
  [ -x "$program" ] || continue
  name=$(basename "$program")
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then continue; fi
  echo "screenshots: $name"
  scripts/run-session.sh --wm "$program" || { echo "screenshots: $name failed" >&2; status=1; }
done
echo "screenshots: written to $out"
exit $status
