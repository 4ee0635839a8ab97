#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Lumivox needs.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang-format
  # Qt and the libraries the code links
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6svg6 qt6-svg-dev qcoro-qt6-dev libicu-dev nlohmann-json3-dev
  libx11-dev libxi-dev libxtst-dev libxres-dev libxext-dev libxrandr-dev libxcomposite-dev libxcb1-dev libxcb-res0-dev
  libatspi2.0-dev libglib2.0-dev libgtk-3-dev
  libtesseract-dev libleptonica-dev tesseract-ocr tesseract-ocr-eng
  tesseract-ocr-script-latn  # screen text: the Latin-script model knows the accented letters
  apertium transfuse apertium-eng-spa apertium-fr-es apertium-es-pt apertium-spa-ita apertium-rus-ukr
  libcld2-dev libsecret-1-dev
  # reading a word aloud: Qt TextToSpeech over the desktop's speech-dispatcher
  # (Debian's Qt6TextToSpeech CMake package needs Qt6QmlIntegration from qt6-declarative-dev)
  qt6-speech-dev qt6-speech-speechd-plugin speech-dispatcher qt6-declarative-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xcompmgr  # a compositing manager, for the system tests of window capture
  gedit focuswriter  # a GTK 3 and a Qt 6 editor the word lookup is tested against
  chromium  # a browser page the word lookup is tested against
  xterm xfonts-base  # a terminal with its default bitmap font, read as screen text
  # the private desktop session of the system tests
  xvfb xauth x11-utils x11-xserver-utils xdotool openbox wmctrl imagemagick dbus libglib2.0-bin at-spi2-core
  gnome-keyring libsecret-tools dunst libnotify-bin trayer xdg-utils
  file  # xdg-mime tells a folder by it when xdg-open shows the report's folder outside a known desktop
  util-linux  # unshare: the full-disk test mounts a small tmpfs in a namespace of its own
  # the desktop's colour-scheme setting (settings portal with its GTK back-end)
  xdg-desktop-portal xdg-desktop-portal-gtk
  # fonts that cover the scripts of the language table
  fonts-dejavu-core fonts-noto-core fonts-noto-cjk
)

missing=()
for p in "${PACKAGES[@]}"; do
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
