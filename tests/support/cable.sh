#!/bin/sh
# Lays or pulls a virtual null-modem cable that a test owns, as an adapter is plugged in or pulled
# out: a socat pair of pseudo-terminals whose ends are the links a<n> and b<n> in the ports
# folder, which the prefix maps to COM<n> and COM(20+<n>). Pulling ends the pair; socat removes
# both links as it goes. Laying expects them gone: the caller waits for that after a pull.
#   cable.sh lay|pull <ports folder> <n>
set -u
[ $# -eq 3 ] || { echo "usage: cable.sh lay|pull <ports folder> <n>" >&2; exit 2; }
action=$1 ports=$2 n=$3
pid_file=$ports/cable$n.pid

case $action in
lay)
    mkdir -p "$ports"
    # Its own output goes nowhere: it outlives whoever started it.
    socat "pty,raw,echo=0,link=$ports/a$n" "pty,raw,echo=0,link=$ports/b$n" </dev/null >/dev/null 2>&1 &
    echo $! >"$pid_file"
    ;;
pull)
    [ -f "$pid_file" ] || exit 0
    pid=$(cat "$pid_file")
    # Only the pair laid here: a pair that ended by itself may have left its number to another.
    if tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF "link=$ports/a$n "; then
        kill "$pid" 2>/dev/null
    fi
    rm -f "$pid_file"
    ;;
*)
    echo "cable.sh: unknown action $action" >&2
    exit 2
    ;;
esac
