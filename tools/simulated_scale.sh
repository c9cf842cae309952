# A simulated TRM-07 and a device profile for shell scripts that weigh under Wine (the demo, the
# package test). Source it with WINE set. The simulator runs until its stdin closes, which fd 3
# holds open, so stopping it is closing fd 3.

SIM_READY_TENTHS=200    # the simulator is ready within 20 s or the caller gives up
SIM_STOP_TENTHS=50
SIM_PID=

# await_line <output> <pattern> <pid>: 0 once the program's output holds a line starting with the
# pattern, 1 when it ends first or the wait runs out.
await_line() {
    local tenths
    for ((tenths = 0; tenths < SIM_READY_TENTHS; tenths++)); do
        grep -q "^$2" "$1" 2>/dev/null && return 0
        kill -0 "$3" 2>/dev/null || break
        sleep 0.1
    done
    return 1
}

# start_simulator <work-dir> <trm07sim.exe> <port> [options...]: 0 once the scale answers on the port.
start_simulator() {
    local work=$1 exe=$2
    shift 2
    SIM_IN=$work/trm07sim.in
    SIM_OUT=$work/trm07sim.out
    rm -f "$SIM_IN" "$SIM_OUT"
    mkfifo "$SIM_IN"
    exec 3<>"$SIM_IN"
    "$WINE" "$exe" "$@" <"$SIM_IN" >"$SIM_OUT" 2>&1 3>&- &
    SIM_PID=$!
    await_line "$SIM_OUT" 'TRM-07 on ' "$SIM_PID"
}

stop_simulator() {
    [ -n "${SIM_PID:-}" ] || return 0
    exec 3>&- || true
    local tenths
    for ((tenths = 0; tenths < SIM_STOP_TENTHS; tenths++)); do
        kill -0 "$SIM_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
    SIM_PID=
    rm -f "$SIM_IN"
}

wine_reg() { "$WINE" reg "$@" >/dev/null 2>&1; }

# write_profile <device-key> <log-file> <name=text>...: a profile naming the service object, and
# the log file every device of the provider shares.
write_profile() {
    local key=$1 log=$2 entry
    shift 2
    wine_reg add "$key" /ve /d KolvaneAris.ScaleTRM07 /f
    for entry in "$@"; do
        wine_reg add "$key" /v "${entry%%=*}" /d "${entry#*=}" /f
    done
    wine_reg add 'HKLM\SOFTWARE\OLEforRetail\ServiceInfo\Kolvane-Aris' /v LogFile /d "$log" /f
}
