#!/usr/bin/env bash
# Installs everything Tapwell needs to build, run and test on Debian 12.
# Idempotent: packages already present are left alone.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config ccache
  # toolkit and key injection
  qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev libxtst-dev libxkbfile-dev libxkbcommon-dev
  # Japanese gothic font for the user interface
  fonts-ipafont-gothic fontconfig
  # tests: GoogleTest, Google Benchmark, fuzzing with clang's libFuzzer
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # virtual display, keymap tools, tray host, opener, reference injector
  xvfb xauth x11-xserver-utils x11-xkb-utils x11-utils xdotool trayer xdg-utils
  # a real window manager for the frame tests
  openbox
  # Wayland key injection (virtual keyboard and pointer), and its tests on a
  # headless compositor with a native Qt window; wtype is the reference injector
  libwayland-dev libwayland-bin libxkbcommon-dev sway qt6-wayland wtype xwayland
  # a private session bus for the tray icon's StatusNotifierItem tests on sway
  dbus-daemon dbus-bin
  # the remote control portal's tests: a headless GNOME compositor and the
  # desktop's own portal (some 100 packages, under a minute to install)
  mutter xdg-desktop-portal xdg-desktop-portal-gnome
  # packaging checks
  desktop-file-utils appstream dpkg-dev
  # screenshots
  x11-apps imagemagick
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
