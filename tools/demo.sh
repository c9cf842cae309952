#!/usr/bin/env bash
# Weighs through the whole stack: a device profile "Front Scale", the simulated TRM-07 on the far
# end of cable 1, and scalectl driving the OPOS Scale control object (in this prefix the standard's
# OPOSScale.ocx where the run script found it, else the stand-in OposScaleStandIn.dll; on a terminal
# the terminal's own), which loads Pendrax.dll.
#
#   tools/demo.sh <test-bin-dir>
#
# `./run demo` calls it with WINEPREFIX, WINELOADER and PORTS_DIR set, the cables laid, the
# wineserver running and both COM servers registered. The profile and the log-file setting are
# taken away again at the end.
set -euo pipefail

BIN=$(cd "${1:?usage: tools/demo.sh <test-bin-dir>}" && pwd)
WINE=${WINELOADER:-wine}

DEVICE="Front Scale"
DEVICE_KEY="HKLM\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\Scale\\$DEVICE"
PROVIDER_KEY='HKLM\SOFTWARE\OLEforRetail\ServiceInfo\Kolvane-Aris'
SCALE_PORT='\\.\COM21'    # the scale's end of cable 1; the profile names the other end, COM1
WEIGHT=12.345
LOG_LINES=40

WORK=$(dirname "$BIN")/demo
LOG=$WORK/demo.log
LOG_WIN="Z:${LOG//\//\\}"

# Value name and text, in the order the administrator writes a new profile.
PROFILE=(
    "SerialPort=COM1"
    "BaudRate=9600"
    "DataSize=7"
    "Parity=Even"
    "StopBits=1"
    "ModelNumber=TRM-07"
    "LogVerbosity=4"
)

# shellcheck source=tools/simulated_scale.sh
. "$(dirname "$0")/simulated_scale.sh"

say() { printf '== %s\n' "$*"; }
reg() { wine_reg "$@"; }

# A Wine process's output goes to a file: a pipe would be held open by the wineserver's services.
saved_log_file() {
    "$WINE" reg query "$PROVIDER_KEY" /v LogFile >"$WORK/saved-log-file.txt" 2>/dev/null || true
    tr -d '\r' <"$WORK/saved-log-file.txt" | sed -n 's/^ *LogFile *REG_SZ *//p'
}

remove_profile() {
    reg delete "$DEVICE_KEY" /f || true
    if [ -n "$SAVED_LOG_FILE" ]; then
        reg add "$PROVIDER_KEY" /v LogFile /d "$SAVED_LOG_FILE" /f || true
    else
        reg delete "$PROVIDER_KEY" /v LogFile /f || true
    fi
}

finish() {
    stop_simulator
    remove_profile
}

mkdir -p "$WORK"
rm -f "$LOG"
SAVED_LOG_FILE=$(saved_log_file || true)
trap finish EXIT

say "device profile \"$DEVICE\": KolvaneAris.ScaleTRM07 on COM1, 9600 7E1, log $LOG_WIN"
write_profile "$DEVICE_KEY" "$LOG_WIN" "${PROFILE[@]}"

say "TRM-07 simulator on $SCALE_PORT showing $WEIGHT lb"
if ! start_simulator "$WORK" "$BIN/trm07sim.exe" "$SCALE_PORT" --weight "$WEIGHT"; then
    say "the simulator did not become ready:"
    cat "$SIM_OUT" 2>/dev/null || true
    exit 1
fi
sed 's/^/   /' "$SIM_OUT"

say "scalectl demo \"$DEVICE\""
status=0
"$WINE" "$BIN/scalectl.exe" demo "$DEVICE" || status=$?

say "last $LOG_LINES lines of $LOG"
tail -n "$LOG_LINES" "$LOG" 2>/dev/null | tr -d '\r' || say "(no log file)"

stop_simulator
say "what the simulated scale saw"
sed 's/^/   /' "$SIM_OUT"

if [ "$status" -eq 0 ]; then say "demo finished: every step succeeded"; else say "demo FAILED (scalectl exit $status)"; fi
exit "$status"
