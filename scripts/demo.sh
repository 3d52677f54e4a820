#!/usr/bin/env bash
# The demonstration: installs what is missing, builds, then shows both programs
# at work under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" >/dev/null
/usr/bin/python3 "$root/scripts/demo.py"
if [ -x "$root/scripts/demo-service.sh" ]; then
    "$root/scripts/demo-service.sh"
fi
