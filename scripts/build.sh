#!/usr/bin/env bash
# Builds the two cross trees (the Windows programs: 32-bit into dist/, x86-64
# into dist/x64/), the JVM bridge, then the native tree (unit tests, the payload
# tool, the demo launchers, the test registrations), the sanitizer tree and the
# fuzz tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

cmake -S . -B build/cross -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/cross -j "$jobs"
cmake -S . -B build/cross64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DDIST_DIR="$root/dist/x64" >/dev/null
cmake --build build/cross64 -j "$jobs"

# The JVM bridge: a winelib program that lets the machine's real JVM stand in for
# a Windows VM under Wine; winegcc builds it in a tree of its own.
cmake -S tests/standins/jvmbridge -B build/jvmbridge >/dev/null
cmake --build build/jvmbridge -j "$jobs"

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCROSS_BUILD_DIR="$root/build/cross" \
    -DCROSS64_BUILD_DIR="$root/build/cross64" -DJVMBRIDGE_BUILD_DIR="$root/build/jvmbridge" >/dev/null
cmake --build build/native -j "$jobs"

cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON >/dev/null
cmake --build build/asan -j "$jobs"

# The fuzz targets: clang with libFuzzer, ASan and UBSan.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ=ON >/dev/null
cmake --build build/fuzz -j "$jobs"
