#!/usr/bin/env bash
# Runs radad.exe in list mode in a 64-bit Wine prefix of its own, with the JVM
# bridge installed as both the JDK's java.exe and the runtime's jre.exe, so that
# the machine's real JVM runs the probe class that radad.exe carries. A YES in the
# report means the status 314 crossed Linux, Wine and the launcher intact (Linux
# alone would have delivered 58, which does not qualify).
# Usage: radad_with_real_jvm.sh RADAD_EXE BRIDGE_BUILD_DIR   (exit 77: skipped)
set -euo pipefail
radad=$1
build=$2
if [ ! -f "$radad" ]; then
    echo "skipped: $radad does not exist yet; build the cross tree (scripts/build.sh)"
    exit 77
fi

export WINEPREFIX="$build/prefix" WINEDEBUG=-all WINEDLLPATH="$build/lib"
unset WINEARCH
drive="$WINEPREFIX/drive_c"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
trap 'wineserver -k 2>/dev/null || true' EXIT

mkdir -p "$drive/vm/Bin"
cp "$build/bin/jre.exe" "$build/bin/java.exe" "$drive/vm/Bin/"
cp "$radad" "$drive/radad.exe"
for kind in "Java Runtime Environment" "Java Development Kit"; do
    wine reg add "HKLM\\Software\\JavaSoft\\$kind" /v CurrentVersion /d 1.1 /f /reg:32 >/dev/null
    wine reg add "HKLM\\Software\\JavaSoft\\$kind\\1.1" /v JavaHome /d 'C:\vm' /f /reg:32 >/dev/null
done

# requirement string | answer for both VMs
cases=(
    "1.1:A:A|YES"
    "1.2:A:A|NO"
    "1.2:A:A 1.0:A:Linux|YES"
    "1.0:A:Windows|NO"
)
failures=0
for entry in "${cases[@]}"; do
    requirement=${entry%|*}
    answer=${entry#*|}
    report="$build/report.txt"
    # Through a file, not a pipe: a VM left running would hold a pipe open.
    # shellcheck disable=SC2086 # the blanks separate the alternatives, as on radad's command line
    (cd "$drive" && timeout 120 wine radad.exe $requirement >"$report")
    expected=$(printf '2\r\n%s C:\\vm\\Bin\\java.exe\r\n%s C:\\vm\\Bin\\jre.exe\r\n' "$answer" "$answer")
    if [ "$(cat "$report")" != "$expected" ]; then
        echo "FAIL: '$requirement': expected both VMs $answer, the report was:"
        cat -A "$report"
        failures=$((failures + 1))
    else
        echo "ok: '$requirement': both VMs $answer"
    fi
    leftovers=$(find "$drive" -maxdepth 4 \( -name QvxVersion.class -o -name stdout.tmp \) -print)
    if [ -n "$leftovers" ]; then
        echo "FAIL: '$requirement' left $leftovers behind"
        failures=$((failures + 1))
    fi
done
exit $((failures > 0))
