#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need.
# As root it installs what is missing with apt; otherwise it names what is missing.
set -euo pipefail

packages=(
  g++ make cmake pkg-config
  libgtest-dev libbenchmark-dev
  libsndfile1-dev
  libpng-dev
  libfreetype-dev fonts-dejavu-core
  libx11-dev libxtst-dev xvfb xauth
  lv2-dev liblilv-dev lilv-utils sordi
  libjack-jackd2-dev jackd2
  liblo-dev
  clang libclang-rt-14-dev
  locales
  desktop-file-utils appstream man-db librsvg2-bin
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
