#!/usr/bin/env bash
# The project's test command: installs what is missing, builds everything and runs
# every test (native unit tests, the same under sanitizers, and the end-to-end tests
# under Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
# One line on which builds the end-to-end tests run on, and why; with no Wine at
# all it says so, and the test e2e.wine fails.
/usr/bin/python3 "$root/tests/e2e/wineharness.py" archs >/dev/null || true
log=$(mktemp)
trap 'rm -f "$log"' EXIT
ctest --test-dir "$root/build/asan" --output-on-failure -j 2 -L unit | tee "$log"
ctest --test-dir "$root/build/native" --output-on-failure -j 3 --timeout 900 | tee -a "$log"
# CTest counts a skipped test among the passed ones; say how many there were.
echo "test.sh: $(grep -c -- '\*\*\*Skipped' "$log" || true) test(s) skipped (listed above as \"(Skipped)\")"
