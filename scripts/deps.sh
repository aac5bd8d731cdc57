#!/usr/bin/env bash
# Installs what monocount needs to build, test, benchmark and package on Debian 12 (run as
# root). Packages that are already present are left alone, so a second run is quick and offline.
# The CMake build itself never installs anything.
set -euo pipefail
packages=(g++ cmake make dpkg-dev libboost-program-options-dev libboost-iostreams-dev libboost-dev
          zlib1g-dev liblzma-dev libbz2-dev libzstd-dev nlohmann-json3-dev libgmp-dev
          libgtest-dev libbenchmark-dev clang-14 libclang-rt-14-dev python3 python3-matplotlib
          libopenmpi-dev openmpi-bin)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
