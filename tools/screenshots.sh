#!/usr/bin/env bash
# Pictures of the administrator program for the README: the main window as it starts, the main
# window with a device picked, and the about box. The program runs under Xvfb in a prefix of its
# own that draws real windows (the test prefixes are headless).
#
#   tools/screenshots.sh [bin-dir] [out-dir]
#
# bin-dir defaults to the test build of the current build root, out-dir to docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_ROOT=${KA_BUILD_ROOT:-$ROOT/build}
INSIDE=
if [ "${1:-}" = --inside ]; then INSIDE=1; shift; fi
BIN=$(cd "${1:-$BUILD_ROOT/win64/bin}" && pwd)
OUT=$(mkdir -p "${2:-$ROOT/docs}" && cd "${2:-$ROOT/docs}" && pwd)
WINE=/usr/lib/wine/wine64
export WINEPREFIX=$BUILD_ROOT/wineprefix-screens WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
MAIN_CAPTION='Kolvane-Aris OPOS Administrator'
ABOUT_CAPTION='About Vantorel'
# The window must have drawn itself before a picture is taken; nothing tells when it has.
PAINT_SECONDS=${PAINT_SECONDS:-2}
WAIT_SECONDS=60

log() { printf '== %s\n' "$*"; }

need() {
    local missing=()
    command -v xvfb-run >/dev/null || missing+=(xvfb xauth)
    command -v import >/dev/null || missing+=(imagemagick)
    command -v xdotool >/dev/null || missing+=(xdotool)
    # Wine's own fonts (frame glyphs, MS Sans Serif) and fonts with Arial's metrics.
    local font
    for font in fonts-wine fonts-liberation; do dpkg -s "$font" >/dev/null 2>&1 || missing+=("$font"); done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

reg() { "$WINE" reg "$@" >/dev/null 2>&1; }

prepare_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        log "creating Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        "$WINE" wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
    # Real windows: no null graphics driver, and Wine draws the frames itself (Xvfb has no window manager).
    reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f || true
    reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    local scale='HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\Scale' view
    # In both registry views, as the administrator keeps them on 64-bit Windows.
    for view in /reg:32 /reg:64; do
        reg delete "$scale" /f "$view" || true
        for device in "back scale" "front scale"; do
            reg add "$scale\\$device" /ve /d KolvaneAris.ScaleTRM07 /f "$view"
            reg add "$scale\\$device" /v BaudRate /d 9600 /f "$view"
            reg add "$scale\\$device" /v Parity /d Even /f "$view"
            reg add "$scale\\$device" /v LogVerbosity /d 2 /f "$view"
        done
        reg add "$scale\\back scale" /v SerialPort /d COM1 /f "$view"
        reg add "$scale\\front scale" /v SerialPort /d COM3 /f "$view"
        reg add 'HKLM\SOFTWARE\OLEforRetail\ServiceInfo\Kolvane-Aris' /v LogFile /d 'c:\OposAdmin.log' /f "$view"
    done
}

shoot() { # window-id file
    sleep "$PAINT_SECONDS"
    import -window "$1" "$OUT/$2"
    log "saved $OUT/$2"
}

inside_display() {
    prepare_prefix
    "$WINE" "$BIN/Vantorel.exe" &
    local program=$!
    local main about
    main=$(timeout "$WAIT_SECONDS" xdotool search --sync --name "^$MAIN_CAPTION\$" | head -1) || true
    [ -n "$main" ] || { echo "the main window did not appear" >&2; wineserver -k; exit 1; }
    shoot "$main" main-window-idle.png

    # The instance list has the focus after start-up: the arrow key picks the next device.
    xdotool key Down
    shoot "$main" main-window.png

    xdotool key alt+h a
    about=$(timeout "$WAIT_SECONDS" xdotool search --sync --name "^$ABOUT_CAPTION\$" | head -1) || true
    [ -n "$about" ] || { echo "the about box did not appear" >&2; wineserver -k; exit 1; }
    shoot "$about" about-box.png

    xdotool key Escape
    xdotool windowclose "$main" 2>/dev/null || true
    wineserver -k
    wait "$program" 2>/dev/null || true
}

if [ -n "$INSIDE" ]; then
    inside_display
else
    need
    [ -f "$BIN/Vantorel.exe" ] || { echo "no Vantorel.exe in $BIN (build first)" >&2; exit 1; }
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash ${SCREENSHOTS_TRACE:+-x} "$0" --inside "$BIN" "$OUT"
fi
