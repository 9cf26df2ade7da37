#!/usr/bin/env bash
# Installs the Debian packages Zemira needs to build, run and test. Idempotent.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libqt6sql6-sqlite libqt6sql6-psql
  libjpeg-dev libjpeg-turbo-progs libgif-dev
  libgdal-dev gdal-bin libpq-dev
  libwmf-dev libexpat1-dev fonts-urw-base35
  libemf2svg-dev
  mdbtools mdbtools-dev
  sqlite3 libsqlite3-dev
  postgresql
  xvfb xauth imagemagick
  locales-all
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
