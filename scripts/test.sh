#!/usr/bin/env bash
# The project's test command: installs what is missing, builds everything and runs
# every test (native unit tests, the same under sanitizers, and the end-to-end tests
# under Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
ctest --test-dir "$root/build/asan" --output-on-failure -j 2 -L unit
ctest --test-dir "$root/build/native" --output-on-failure -j 3 --timeout 900
