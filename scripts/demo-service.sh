#!/usr/bin/env bash
# The service half of the demonstration: installs, stops, starts and uninstalls
# the Brisnode service under Wine's Service Control Manager in a Wine prefix of
# its own, with a stand-in manager server started and stopped by the batch
# files, and shows the state after each step. Installs nothing: run
# scripts/setup.sh and scripts/build.sh first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# The 32-bit build where this kernel runs 32-bit programs, the x86-64 one where
# it does not (E2E_ARCH=x86|x64 chooses); Wine's loaders are called directly, as
# Debian's wine wrapper would pick the 32-bit one even where it cannot start.
arch=${E2E_ARCH:-$(python3 "$root/tests/e2e/wineharness.py" archs 2>/dev/null | cut -d' ' -f1)}
case "$arch" in
    x86) loader=/usr/lib/wine/wine WINEARCH=win32 dist="$root/dist" cross="$root/build/cross" ;;
    x64) loader=/usr/lib/wine/wine64 WINEARCH=win64 dist="$root/dist/x64" cross="$root/build/cross64" ;;
    *) echo "demo-service: no Wine can run here; install it with scripts/setup.sh" >&2; exit 1 ;;
esac
brisnode="$dist/Brisnode.exe"
server="$cross/tests/standins/server/mgrserver.exe"
for f in "$brisnode" "$server"; do
    [ -f "$f" ] || { echo "demo-service: $f is missing; run scripts/build.sh first" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/brisnode-demo.XXXXXX")
export WINEPREFIX="$work/prefix" WINEARCH WINELOADER="$loader" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
wine() { "$loader" "$@"; }

# Every Windows program inherits the output of the wine that started it, and a
# service or server left running would hold a pipe open: output goes through a
# file.
out="$work/out.txt"
wine_show() {
    wine "$@" >"$out" 2>&1 || true
    tr -d '\r' <"$out"
}
step() { printf '\n=== %s\n' "$*"; }
# Brisnode says on its standard error what it did or what failed; Unix passes
# on only the low 8 bits of its exit code (1639 arrives as 103).
brisnode_run() {
    local code=0
    wine "$exe" "$@" >"$out" 2>&1 || code=$?
    tr -d '\r' <"$out" | sed 's/^/    /'
    echo "    exit status $code"
}

key='HKLM\SYSTEM\CurrentControlSet\Services\Brisnode'
show_state() { wine_show sc query Brisnode | grep -E 'SERVICE_NAME|STATE|FAILED' || echo "(no service Brisnode)"; }
show_values() {
    for value in ImagePath ImageDir StartCmd StopCmd; do
        wine_show reg query "$key" /v "$value" | grep -E "^ +$value" || echo "    $value (none)"
    done
}
show_server_log() {
    if [ -f "$log" ]; then tr -d '\r' <"$log" | sed 's/^/    /'; else echo "    (empty)"; fi
}

step "The $arch build (${brisnode#"$root"/}) in a fresh $WINEARCH Wine prefix (about 15 s)"
wine wineboot -i >"$out" 2>&1
wineserver -w

# An image directory with a blank, where the service's path must be quoted.
image_dir="$WINEPREFIX/drive_c/Program Files/Veltra Corvane"
mkdir -p "$image_dir"
cp "$brisnode" "$server" "$image_dir/"
log="$image_dir/mgrserver.log"
exe='C:\Program Files\Veltra Corvane\Brisnode.exe'
server_win='"C:\Program Files\Veltra Corvane\mgrserver.exe"'
printf '@echo off\r\nrem Starts the manager server\r\ncd /d %%~dp0\r\n%s run demo %%1\r\n' "$server_win" >"$image_dir/start.bat"
printf '@echo off\r\nrem Stops the manager server\r\ncd /d %%~dp0\r\n%s stop demo linger 1000 %%1\r\n' "$server_win" >"$image_dir/stop.bat"
echo "Image directory C:\\Program Files\\Veltra Corvane with start.bat and stop.bat;"
echo "their fourth lines:"
for f in start.bat stop.bat; do sed -n 4p "$image_dir/$f" | tr -d '\r' | sed "s/^/    $f: /"; done

# When the last program of a prefix ends, Wine ends services.exe too, and the
# next program starts it as if the machine had booted, starting the automatic
# service again. A program that runs to the end of the demonstration keeps the
# prefix up.
mkdir -p "$WINEPREFIX/drive_c/keepalive"
cp "$server" "$WINEPREFIX/drive_c/keepalive/"
wine 'C:\keepalive\mgrserver.exe' run keepalive >/dev/null 2>&1 &

step "Brisnode.exe /install   (registers, configures and starts the service)"
brisnode_run /install
sleep 1
show_state
echo "Registry values:"
show_values
echo "Stand-in server log:"
show_server_log

step "Brisnode.exe install   (no such option: the usage, and nothing is done)"
brisnode_run install

step "start.bat edited, then Brisnode.exe /install again   (stores the commands afresh; the running server keeps its command until the next start)"
printf '@echo off\r\nrem Starts the manager server\r\ncd /d %%~dp0\r\n%s run demo say %%1\r\n' "$server_win" >"$image_dir/start.bat"
brisnode_run /install
show_values

step "Brisnode.exe /stop   (runs the stop command, waits for both processes)"
brisnode_run /stop
show_state
echo "Stand-in server log:"
show_server_log

step "Logging and restart on: LogFile, RestartDelay and RestartLimit with reg add, then Brisnode.exe /start"
wine_show reg add "$key" /v LogFile /t REG_SZ /d brisnode.log /f
wine_show reg add "$key" /v RestartDelay /t REG_DWORD /d 5000 /f
wine_show reg add "$key" /v RestartLimit /t REG_DWORD /d 3 /f
brisnode_run /start
sleep 1
show_state

step "Brisnode.exe /uninstall   (stops the running service, then deletes it)"
brisnode_run /uninstall
show_state
echo "Stand-in server log:"
show_server_log
echo "Brisnode's own log (LogFile brisnode.log in the image directory):"
tr -d '\r' <"$image_dir/brisnode.log" | sed 's/^/    /'
