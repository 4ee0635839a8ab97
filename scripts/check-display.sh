#!/usr/bin/env bash
# Lumivox needs an X11 display; say so plainly instead of letting the toolkit abort.
if [ -z "${DISPLAY:-}" ]; then
  echo "lumivox: no X display is set (DISPLAY is empty). Start it from an X11 desktop session." >&2
  exit 1
fi
if ! timeout 5 xdpyinfo >/dev/null 2>&1; then
  echo "lumivox: the X display '$DISPLAY' is not reachable. Start it from an X11 desktop session." >&2
  exit 1
fi
