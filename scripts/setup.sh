#!/usr/bin/env bash
# Installs what the build, the tests and the demonstration need on Debian 12,
# and nothing when all of it is there already.
set -euo pipefail

packages=(
    cmake make g++ googletest libgtest-dev python3 python3-pefile
    g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
    wine wine32:i386 wine64 wine64-tools
    xvfb xauth x11-apps imagemagick
    ecj default-jre-headless openjdk-17-jdk-headless
    openssl osslsigncode icoutils
    clang libclang-rt-14-dev hyperfine
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
