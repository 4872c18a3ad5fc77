#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the programs need. Idempotent: runs
# apt-get only when something is missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev zlib1g-dev libjpeg-dev libminizip-dev unzip libcurl4-openssl-dev libssl-dev libcpp-httplib-dev
  curl python3-pyftpdlib
  libwxgtk3.2-dev
  xvfb xauth x11-utils xdotool imagemagick fonts-noto-cjk
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
