#!/usr/bin/env bash
# The benchmarks of both programs under Wine, with the build this machine can
# run (not tests: CI does not run them). Needs scripts/build.sh first.
#   scripts/bench.sh [REPETITIONS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exec /usr/bin/python3 "$root/tests/bench/bench.py" --reps "${1:-5}"
