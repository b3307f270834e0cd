#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any is missing. Safe to run again.
# setup.sh bench: also those the development set of bench/ is extracted from (bench/devset).
set -euo pipefail

packages=(
  cmake g++ make ninja-build pkg-config binutils
  libgtest-dev libbenchmark-dev
  libpng-dev libjpeg-dev libstb-dev zlib1g-dev
  octave liboctave-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64
  clang libclang-rt-14-dev
  python3 python3-dev python3-venv python3-pip python3-setuptools python3-wheel
  python3-numpy pybind11-dev python3-pybind11 python3-pytest python3-distributed
)
if [[ ${1:-} == bench ]]; then
  packages+=(python3-opencv python3-pil python3-skimage opencv-doc gnome-backgrounds
             plasma-workspace-wallpapers)
fi

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
