#!/usr/bin/env bash
# Installs every Debian package Quietpane needs to build, run, test and benchmark.
# Idempotent: only missing packages are installed; nothing is started.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git
  # TLS for the mail sessions, and the trust store they check servers against
  libssl-dev ca-certificates
  # windows, web engine, database, printing, X11 hotkeys
  qt6-base-dev qt6-webengine-dev libqt6sql6-sqlite sqlite3 libgl-dev
  libxcb1-dev libx11-dev libxcb-xtest0-dev libxkbcommon-dev
  # the mail password in the desktop's keyring (QtKeychain reaches it through libsecret)
  qtkeychain-qt6-dev libsecret-1-0
  # tests, fuzzing, benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  xvfb xdotool x11-utils openbox poppler-utils imagemagick fonts-urw-base35 iproute2 openssl
  # the Debian package and its checks
  dpkg-dev file lintian desktop-file-utils appstream
  # real peers and reference implementations
  python3 python3-aiosmtpd dovecot-core dovecot-pop3d microsocks dante-server
  dbus gnome-keyring libsecret-tools
  libpython3.11-testsuite uudeview
  # the desktops' shortcuts on Wayland: a headless KDE Plasma with its shortcuts portal on a
  # private bus, and GNOME's settings tool with the custom-shortcut schema
  kwin-wayland xdg-desktop-portal xdg-desktop-portal-kde libkf5globalaccel-bin
  libglib2.0-bin gnome-settings-daemon-common
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
# Package scripts must not try to start services: these machines have no init system running them.
policy=/usr/sbin/policy-rc.d
if [[ ! -e $policy ]]; then
  printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee "$policy" >/dev/null
  "${sudo_cmd[@]}" chmod +x "$policy"
  trap '"${sudo_cmd[@]}" rm -f "$policy"' EXIT
fi
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
