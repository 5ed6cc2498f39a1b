#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need; does nothing when
# they are all present. Needs root (or sudo) on Debian 12.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-svg-dev libqt6sql6-sqlite libqt6sql6-odbc
  libgl1-mesa-dev libgl1-mesa-dri libglx-mesa0 libx11-dev
  unixodbc unixodbc-dev libsqliteodbc sqlite3 postgresql odbc-postgresql
  libeigen3-dev liblapack-dev libopenblas-dev libhdf5-dev libfftw3-dev python3-h5py
  libgtest-dev libgmock-dev libbenchmark-dev ccache
  xvfb xauth xfonts-base fonts-dejavu-core openbox libxcb1-dev
  python3 python3-pil imagemagick ghostscript
  clang libclang-rt-14-dev
  locales
  libtomlplusplus-dev slurm-wlm munge
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
# A decimal-comma locale, so the tests can show that files and labels never follow the user's.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8" >&2
fi
