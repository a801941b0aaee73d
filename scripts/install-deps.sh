#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the laboratory simulator need.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  build-essential cmake pkg-config dpkg-dev
  qtbase5-dev qtbase5-dev-tools libqt5sql5-sqlite libqt5svg5-dev qttranslations5-l10n
  gsoap libgsoap-dev
  libmagick++-6.q16-dev imagemagick
  libpoco-dev
  python3 python3-pyftpdlib
  icc-profiles-free tzdata
  curl unzip xvfb xauth
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
