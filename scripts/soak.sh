#!/usr/bin/env bash
# The soak of the service under Wine: CYCLES (default 100) cycles of install,
# stop, start and uninstall, then as many stop and start cycles of one
# installation, with the build this machine can run. Prints a table; exit 1 when
# anything was left behind. Needs scripts/build.sh first.
#   scripts/soak.sh [CYCLES]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cycles=${1:-100}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
arch=$(python3 "$root/tests/e2e/wineharness.py" archs 2>/dev/null | cut -d' ' -f1)
status=0
(cd "$root/tests/e2e" && E2E_ARCH=$arch SOAK_CYCLES=$cycles PYTHONPATH=. PYTHONDONTWRITEBYTECODE=1 \
    E2E_WORK_DIR="$root/build/soak" python3 test_service_soak.py >"$log" 2>&1) || status=$?
echo "Soak of Brisnode ($arch build) under $(/usr/lib/wine/wine64 --version), $(nproc) cores:"
echo
echo "| cycles of | cycles | time | per cycle |"
echo "|---|---:|---:|---:|"
sed -n 's/^.*soak: \(.*\)$/| \1 |/p' "$log"
echo
if [ "$status" -eq 0 ]; then
    echo "result: passed (no server process, no service, no registry key left; the Service Control Manager answers)"
else
    echo "result: FAILED"
    tail -40 "$log"
fi
exit "$status"
