#!/usr/bin/env bash
# The benchmarks of both programs under Wine, once with each build this machine
# can run (not tests: CI does not run them). Needs scripts/build.sh first.
#   scripts/bench.sh [REPETITIONS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
for arch in $(/usr/bin/python3 "$root/tests/e2e/wineharness.py" archs 2>/dev/null); do
    E2E_ARCH=$arch /usr/bin/python3 "$root/tests/bench/bench.py" --reps "${1:-5}"
done
