#!/usr/bin/env bash
# Builds the cross tree (the Windows programs), then the native tree (unit tests,
# the payload tool, the demo launcher) and the sanitizer tree. Deliverables land in dist/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

cmake -S . -B build/cross -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/cross -j "$jobs"

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCROSS_BUILD_DIR="$root/build/cross" >/dev/null
cmake --build build/native -j "$jobs"

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON -DCROSS_BUILD_DIR="$root/build/cross" >/dev/null
cmake --build build/asan -j "$jobs"
