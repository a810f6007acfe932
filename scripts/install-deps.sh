#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, but only those that are missing,
# so that a second run on a ready machine costs nothing.
set -euo pipefail
packages=(build-essential cmake ninja-build ccache pkg-config qt6-base-dev libgtest-dev
          unixodbc-dev tdsodbc freetds-bin clang libclang-rt-14-dev
          fonts-dejavu-core dpkg-dev time)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}" >&2
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
