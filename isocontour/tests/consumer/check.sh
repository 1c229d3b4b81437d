#!/usr/bin/env bash
# Builds the consumer against an installed isocontour, with CMake (find_package) and with
# pkg-config, and runs both builds.   check.sh PREFIX [SCRATCH]
set -euo pipefail
prefix=$(realpath "$1")
scratch=${2:-$(mktemp -d)}
here=$(dirname "$(realpath "$0")")

cmake -S "$here" -B "$scratch/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/cmake" >/dev/null
"$scratch/cmake/consumer"

pc=$(find "$prefix" -name isocontour.pc -print -quit)
[ -n "$pc" ] || { echo "consumer: no isocontour.pc under $prefix" >&2; exit 1; }
export PKG_CONFIG_PATH="$(dirname "$pc")${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
echo "consumer: pkg-config isocontour $(pkg-config --modversion isocontour)"
# shellcheck disable=SC2046
c++ -std=c++20 "$here/main.cpp" -o "$scratch/pkgconfig-consumer" $(pkg-config --cflags --libs isocontour)
"$scratch/pkgconfig-consumer"
