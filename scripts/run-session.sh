#!/usr/bin/env bash
# Runs a command inside a private desktop session and returns its exit status:
#   Xvfb on a free display, a private D-Bus session bus, the AT-SPI accessibility bus (enabled),
#   an unlocked gnome-keyring (secrets) and a notification daemon (dunst), all with a throw-away HOME.
# Usage: scripts/run-session.sh [--wm] CMD [ARG...]
#   --wm   also start the openbox window manager (and wait until it manages windows)
# LUMIVOX_SESSION_SCREEN=WxH sizes the X screen (default 1280x800); a test that lays out several
# monitors on it (RandR) needs room for all of them.
# Every service is awaited before CMD starts; if one does not come up the session fails (exit 90)
# rather than letting CMD run against a missing service.
set -u

with_wm=0
if [ "${1:-}" = "--wm" ]; then with_wm=1; shift; fi
if [ $# -eq 0 ]; then echo "usage: $0 [--wm] CMD [ARG...]" >&2; exit 2; fi

if [ -z "${LUMIVOX_IN_SESSION:-}" ]; then
  # Outer half: the X server and the throw-away home, then the rest inside dbus-run-session.
  session_home=$(mktemp -d /tmp/lumivox-session.XXXXXX)
  displayfile="$session_home/display"
  screen_size=${LUMIVOX_SESSION_SCREEN:-1280x800}
  Xvfb -displayfd 3 -screen 0 "${screen_size}x24" -nolisten tcp -noreset 3>"$displayfile" 2>"$session_home/xvfb.log" &
  xvfb_pid=$!
  cleanup() {
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    rm -rf "$session_home"
  }
  trap cleanup EXIT
  trap 'exit 130' INT TERM
  for _ in $(seq 1 100); do
    [ -s "$displayfile" ] && break
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
    sleep 0.05
  done
  if [ ! -s "$displayfile" ]; then
    echo "run-session: Xvfb did not start" >&2; cat "$session_home/xvfb.log" >&2; exit 90
  fi
  export DISPLAY=":$(head -n1 "$displayfile")"
  for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
  if ! xdpyinfo >/dev/null 2>&1; then echo "run-session: display $DISPLAY does not answer" >&2; exit 90; fi

  export HOME="$session_home/home"
  export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
  export XDG_RUNTIME_DIR="$session_home/runtime"
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS GNOME_KEYRING_CONTROL
  export LUMIVOX_IN_SESSION=1 LUMIVOX_SESSION_WM=$with_wm
  # Sanitized builds: keep whatever options the caller set, and add the suppressions that every
  # program on X needs (see the file).
  if [ -n "${ASAN_OPTIONS:-}" ]; then
    export ASAN_OPTIONS="$ASAN_OPTIONS:suppressions=$(cd "$(dirname "$0")" && pwd)/asan-x11.supp"
  fi
  dbus-run-session -- "$0" "$@"
  exit $?
fi

# Inner half: runs on the private session bus.
pids=()
cleanup_inner() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  [ -n "${GNOME_KEYRING_PID:-}" ] && kill "$GNOME_KEYRING_PID" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup_inner EXIT

fail() { echo "run-session: $*" >&2; exit 90; }

# Accessibility bus, enabled so that toolkits started from here register.
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
gdbus wait --session --timeout 10 org.a11y.Bus || fail "the AT-SPI bus did not start"
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
  string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null || fail "could not enable accessibility"

# Secrets: a login keyring unlocked with a throw-away password.
keyring_env=$(printf 'lumivox-test' | gnome-keyring-daemon --unlock --components=secrets 2>/dev/null) \
  || fail "gnome-keyring did not start"
eval "$keyring_env"
export GNOME_KEYRING_CONTROL GNOME_KEYRING_PID
gdbus wait --session --timeout 10 org.freedesktop.secrets || fail "the secret service did not appear"

# Notifications.
dunst >/dev/null 2>&1 &
pids+=($!)
gdbus wait --session --timeout 10 org.freedesktop.Notifications || fail "the notification daemon did not start"

if [ "${LUMIVOX_SESSION_WM:-0}" = "1" ]; then
  openbox >/dev/null 2>&1 &
  pids+=($!)
  # openbox announces itself (_NET_SUPPORTING_WM_CHECK) before it has finished starting, and a window
  # mapped in between is sometimes never managed; its client list appears once it has.
  wm_ready() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' \
      && xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null | grep -q '^_NET_CLIENT_LIST_STACKING(WINDOW)'
  }
  for _ in $(seq 1 200); do wm_ready && break; sleep 0.05; done
  wm_ready || fail "openbox did not start"
fi

"$@"
status=$?
exit $status
