#!/usr/bin/env bash
# Installs the Debian packages of the sets named on the command line:
#   run   what building and running Lumivox needs (`make run`)
#   test  what the tests, the benchmarks and the developer tools need on top (`make test`, CI)
# Without an argument, both. Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

RUN=(
  # toolchain
  build-essential cmake ninja-build pkg-config
  # Qt and the libraries the code links
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6svg6 qt6-svg-dev qcoro-qt6-dev libicu-dev nlohmann-json3-dev
  libx11-dev libxi-dev libxtst-dev libxres-dev libxext-dev libxrandr-dev libxcomposite-dev libxcb1-dev libxcb-res0-dev
  libatspi2.0-dev libglib2.0-dev at-spi2-core
  libtesseract-dev libleptonica-dev tesseract-ocr-eng
  tesseract-ocr-script-latn  # screen text: the Latin-script model knows the accented letters
  apertium apertium-eng-spa apertium-fr-es apertium-es-pt apertium-spa-ita apertium-rus-ukr
  libcld2-dev libsecret-1-dev
  # reading a word aloud: Qt TextToSpeech over the desktop's speech-dispatcher
  # (Debian's Qt6TextToSpeech CMake package needs Qt6QmlIntegration from qt6-declarative-dev)
  qt6-speech-dev qt6-speech-speechd-plugin qt6-declarative-dev
  xdg-utils  # xdg-email hands the diagnostic report to the mail client
  file  # xdg-mime tells a folder by it when xdg-open shows the report's folder outside a known desktop
  fonts-dejavu-core
)

TEST=(
  clang-format tesseract-ocr speech-dispatcher
  transfuse  # what `apertium -f html` runs, to hold the program's marked translations against by hand
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xcompmgr  # a compositing manager, for the system tests of window capture
  libgtk-3-dev gedit focuswriter  # GTK 3 and Qt 6 windows the word lookup is tested against
  chromium  # a browser page the word lookup is tested against
  kwrite  # an editor whose accessibility answers offset 0 everywhere (KDE's editor component, Qt 5)
  konsole  # a terminal whose first row is drawn just under its tool bar, read as screen text (kwrite's KDE libraries)
  qterminal  # a terminal with a scroll bar beside its text and a tab bar above it, read as screen text
  xterm xfonts-base  # a terminal with its default bitmap font, read as screen text
  # the private desktop session of the system tests
  xvfb xauth x11-utils x11-xserver-utils xdotool openbox wmctrl imagemagick dbus libglib2.0-bin
  gnome-keyring libsecret-tools dunst libnotify-bin trayer
  util-linux  # unshare: the full-disk test mounts a small tmpfs in a namespace of its own
  # the desktop's colour-scheme setting (settings portal with its GTK back-end)
  xdg-desktop-portal xdg-desktop-portal-gtk
  # fonts that cover the scripts of the language table
  fonts-noto-core fonts-noto-cjk
)

sets=("$@")
[ ${#sets[@]} -gt 0 ] || sets=(run test)
wanted=()
for set in "${sets[@]}"; do
  case "$set" in
    run) wanted+=("${RUN[@]}") ;;
    test) wanted+=("${TEST[@]}") ;;
    *)
      echo "install-deps: unknown set '$set' (run, test)" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
