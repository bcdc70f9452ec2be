#!/usr/bin/env bash
# Installs what building and running the installer on Linux needs, from
# Debian's packages only. Safe to run again: it installs only what is missing.
set -euo pipefail
packages=(cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 xvfb xauth googletest
          x11-utils)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
