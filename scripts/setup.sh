#!/usr/bin/env bash
# Installs what building and testing Pravel needs on Debian, when missing.
set -euo pipefail

packages=(
  build-essential cmake libgtest-dev libgmock-dev   # compiler, build, tests
  genisoimage xorriso p7zip-full udftools python3-pycdlib  # independent image readers
  lsdvd dvdbackup time bc                           # DVD-Video readers, benchmarks
  dvdauthor ffmpeg                                  # a real DVD-Video title to read
  tzdata                                            # time zones of the date tests
  hercules                                          # tapemap, hetmap: readers of AWS tape files
  qt6-base-dev xvfb xauth fonts-dejavu-core         # the desktop window, its tests and screenshots
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
