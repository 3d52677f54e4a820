#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each (default 60) and prints a table:
# target, executions, corpus size, findings. Needs scripts/build.sh first.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exec /usr/bin/python3 "$root/tests/fuzz/fuzz.py" --seconds "${1:-60}" --build "$root/build/fuzz"
