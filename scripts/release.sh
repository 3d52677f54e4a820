#!/usr/bin/env bash
# Builds everything and packs dist/ into release/brisnode-radad-<version>.zip
# (both builds of both programs, the demo launchers, radad-pack for Linux and
# radad-pack.exe, the README, the guides of docs/, CHANGELOG.md, the examples the
# guides use, and SHA256SUMS over all of them), with the archive's SHA-256 in
# release/brisnode-radad-<version>.zip.sha256. The version is the project's, from
# the top-level CMakeLists.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "$root/build/native"
cpack --config CPackConfig.cmake
ls -l "$root"/release/brisnode-radad-*.zip*
