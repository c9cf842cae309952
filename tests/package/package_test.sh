#!/usr/bin/env bash
# The installer package under Wine, in a prefix and on a cable of its own, walked through a
# terminal's life: a silent install that makes the log folder, names a file there as the log and
# weighs, a repair after the registration and a file were deleted and another damaged, a silent
# uninstall that leaves the shop's profile, log folder, log setting and log, then an upgrade from
# an earlier package and a refused downgrade. A log setting the shop made is kept throughout. The files installed are the
# shipped ones, without debug information, which the symbols archive beside the package holds.
# Each check prints one line; the test fails when any check does. The prefix is removed when
# every check passed.
#
#   package_test.sh <package.msi> <earlier-package.msi> <test-bin-dir> <shipped-dir>
#                   <symbols-archive> <objdump> <work-dir>
#
# The test bin dir gives the control-object stand-in, which a terminal has from its OPOS
# installation and the package therefore does not carry.
set -uo pipefail

[ $# -eq 7 ] || {
    echo "usage: package_test.sh <package.msi> <earlier-package.msi> <test-bin-dir> <shipped-dir> <symbols-archive> <objdump> <work-dir>" >&2
    exit 2
}
PACKAGE=$(realpath -m "$1")
EARLIER=$(realpath -m "$2")
BIN=$(realpath -m "$3")
SHIPPED=$(realpath -m "$4")
SYMBOLS=$(realpath -m "$5")
OBJDUMP=$6
WORK=$(realpath -m "$7")

WINE=${WINELOADER:-/usr/lib/wine/wine64}
# shellcheck source=tools/simulated_scale.sh
. "$(dirname "$0")/../../tools/simulated_scale.sh"
export WINEPREFIX=$WORK/prefix WINEARCH=${WINEARCH:-win64} WINEDEBUG=-all
# No menu entries on the host for the package's shortcut.
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"

PRODUCT_NAME="Kolvane-Aris TRM-07 Scale"
PROG_ID=KolvaneAris.ScaleTRM07
CLSID='{A3F61C02-7E45-4D2B-8C1A-52B9E0D4F713}'
INSTALL_DIR="$WINEPREFIX/drive_c/Program Files/Kolvane-Aris"
INSTALLED_FILES="Pendrax.dll Vantorel.exe scalectl.exe trm07sim.exe"
MENU_DIR=    # where the installer put the Start menu folder, read from its log
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

DEVICE="Package Scale"
DEVICE_KEY="HKLM\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\Scale\\$DEVICE"
PROVIDER_KEY='HKLM\SOFTWARE\OLEforRetail\ServiceInfo\Kolvane-Aris'
# The log the package names where the provider key names none, and one the shop chose instead.
PACKAGE_LOG_WIN='C:\ProgramData\Kolvane-Aris\Logs\OposAdmin.log'
PACKAGE_LOG_DIR=$WINEPREFIX/drive_c/ProgramData/Kolvane-Aris/Logs
SHOP_LOG_WIN='D:\Logs\Scale.log'
WEIGHT=12.345
# The pty cable takes 8-N-1 only; both ends agree on it.
PROFILE=("SerialPort=COM1" "BaudRate=9600" "DataSize=8" "Parity=None" "StopBits=1" "LogVerbosity=4")

failures=0
checks=0
step() { printf '\n== %s\n' "$*"; }
pass() { checks=$((checks + 1)); printf 'ok    %s\n' "$*"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); printf 'FAIL  %s\n' "$*"; }
check() { # description command...
    local what=$1; shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# ---- prefix, cable and stand-in -----------------------------------------------------------

SOCAT_PID=
finish() {
    stop_simulator
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    [ -z "$SOCAT_PID" ] || kill "$SOCAT_PID" 2>/dev/null || true
    SOCAT_PID=
}
trap finish EXIT

make_prefix() {
    rm -rf "$WORK"
    mkdir -p "$WORK/ports" "$WINEPREFIX"
    socat "pty,raw,echo=0,link=$WORK/ports/a1" "pty,raw,echo=0,link=$WORK/ports/b1" </dev/null >/dev/null 2>&1 &
    SOCAT_PID=$!
    "$WINE" wineboot -i >"$WORK/wineboot.out" 2>&1
    reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
    reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$WORK/ports/a1" /f
    reg add 'HKLM\Software\Wine\Ports' /v COM21 /d "$WORK/ports/b1" /f
    # The ports and the headless driver take effect when the server starts again.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wineserver -p </dev/null >/dev/null 2>&1
    "$WINE" regsvr32 /s "$(windows_path "$BIN/OposScaleStandIn.dll")" >/dev/null 2>&1
}

reg() { wine_reg "$@"; }

# The default value of a key, or nothing (status 1) when the key or its default is missing.
# A Wine process's output goes to a file: a pipe would be held open by the wineserver's services.
unix_path() {
    "$WINE" winepath -u "$1" >"$WORK/winepath.out" 2>/dev/null || return 1
    tr -d '\r' <"$WORK/winepath.out"
}

reg_default() {
    "$WINE" reg query "$1" /ve >"$WORK/reg.out" 2>&1 || return 1
    tr -d '\r' <"$WORK/reg.out" | sed -n 's/^ *(Default) *REG_SZ *//p' | grep .
}

reg_value() { # key name [view: 32 or 64]
    "$WINE" reg query "$1" /v "$2" ${3:+/reg:$3} >"$WORK/reg.out" 2>&1 || return 1
    tr -d '\r' <"$WORK/reg.out" | sed -n "s/^ *$2 *REG_SZ *//p" | grep .
}

# The x64 package serves 32- and 64-bit programs, each of which reads its own registry view.
check_log_setting() { # expected description
    local view
    for view in 32 64; do
        check "$2, ${view}-bit view" test "$(reg_value "$PROVIDER_KEY" LogFile $view)" = "$1"
    done
}

set_log_setting() { # path
    local view
    for view in 32 64; do wine_reg add "$PROVIDER_KEY" /v LogFile /d "$1" /f /reg:$view; done
}

# ---- what the package lays down -----------------------------------------------------------

# The five entries of DllRegisterServer: key under HKEY_CLASSES_ROOT and its default value.
REGISTRATION=(
    "$PROG_ID|$PROG_ID"
    "CLSID\\$CLSID|$PROG_ID"
    "$PROG_ID\\CLSID|$CLSID"
    "CLSID\\$CLSID\\ProgID|$PROG_ID"
    "CLSID\\$CLSID\\InProcServer32|(the installed Pendrax.dll)"
)

# InProcServer32 may hold the short form of the path: compare the files it names.
names_installed_dll() {
    local unix
    unix=$(unix_path "$1")
    [ -n "$unix" ] && [ "$(realpath -e "$unix" 2>/dev/null)" = "$(realpath -e "$INSTALL_DIR/Pendrax.dll" 2>/dev/null)" ]
}

registration_entry_present() { # key expected
    local value
    value=$(reg_default "HKCR\\$1") || return 1
    if [[ $1 == *InProcServer32 ]]; then names_installed_dll "$value"; else [ "$value" = "$2" ]; fi
}

check_registration_present() {
    local entry
    for entry in "${REGISTRATION[@]}"; do
        check "registration HKCR\\${entry%%|*} = ${entry#*|}" registration_entry_present "${entry%%|*}" "${entry#*|}"
    done
}

check_registration_absent() {
    local entry
    for entry in "${REGISTRATION[@]}"; do
        check "registration HKCR\\${entry%%|*} removed" not_a_key "HKCR\\${entry%%|*}"
    done
}

not_a_key() { ! "$WINE" reg query "$1" >/dev/null 2>&1; }

# Wine resolves the Start menu per user even for a per-machine package; Windows puts it under
# ProgramData. Either way the installer logs the folder it used.
menu_dir_from_log() { # msiexec log
    local dir
    dir=$(tr -d '\r' <"$1" | sed -n 's/^Property(S): ProgramMenuDir = //p' | tail -n 1)
    [ -n "$dir" ] && unix_path "$dir"
}

check_files_present() {
    local f
    for f in $INSTALLED_FILES; do
        check "installed $f" cmp -s "$SHIPPED/$f" "$INSTALL_DIR/$f"
    done
    check "Start menu shortcut names the installed Vantorel.exe" grep -aqF 'C:\Program Files\Kolvane-Aris\Vantorel.exe' "$MENU_DIR/Vantorel.lnk"
}

check_files_absent() {
    local f
    for f in $INSTALLED_FILES; do
        check "removed $f" test ! -e "$INSTALL_DIR/$f"
    done
    check "removed the installation folder" test ! -e "$INSTALL_DIR"
    check "removed the Start menu folder" test ! -e "$MENU_DIR"
}

msi_property() { # package name
    msiinfo export "$1" Property | tr -d '\r' | awk -F '\t' -v name="$2" '$1 == name { print $2 }'
}

# The log folder's rights, which Windows Installer applies when it makes the folder. Wine applies
# none (every file shows the same made-up rights), so only the package's own row is checked.
sets_log_folder_rights() { # package
    msiinfo export "$1" MsiLockPermissionsEx | tr -d '\r' |
        awk -F '\t' '$2 == "LOGDIR" && $3 == "CreateFolder" && $4 ~ /^D:PAI\(/ { found = 1 } END { exit !found }'
}

# How many products of this name Programs and Features lists.
installations() {
    "$WINE" reg query "$UNINSTALL_KEY" /s >"$WORK/uninstall.out" 2>&1
    tr -d '\r' <"$WORK/uninstall.out" | grep -c "^ *DisplayName *REG_SZ *$PRODUCT_NAME\$"
}

# Programs and Features lists this package's product and version, and nothing else of its name.
listed_alone() { # package
    local code version
    code=$(msi_property "$1" ProductCode)
    version=$(msi_property "$1" ProductVersion)
    [ "$(installations)" = 1 ] && [ "$(reg_value "$UNINSTALL_KEY\\$code" DisplayVersion)" = "$version" ]
}

# msiexec with a verbose log; prints the log's tail when the exit status is not the expected
# Windows Installer code (of which a Unix exit status keeps the low byte: 1603 arrives as 67).
msiexec_run() { # expected-code log-name arguments...
    local expected=$1 name=$2 status=0; shift 2
    "$WINE" msiexec "$@" /qn /l*v "$(windows_path "$WORK/$name.log")" >"$WORK/$name.out" 2>&1 || status=$?
    if [ "$status" -ne $((expected & 255)) ]; then
        echo "      msiexec $* exited $status (expected $expected, $((expected & 255)) here); end of $WORK/$name.log:"
        tail -n 25 "$WORK/$name.log" 2>/dev/null | sed 's/^/      /' || true
        return 1
    fi
}

# ---- debug information: set apart, not shipped -----------------------------------------

without_debug_information() { ! "$OBJDUMP" -h "$1" | grep -q ' \.debug_'; }
with_debug_information() { "$OBJDUMP" -h "$1" | grep -q ' \.debug_info '; }

# Each installed binary names its debug file, and the symbols archive holds that file whole.
check_symbols() {
    local f
    rm -rf "$WORK/symbols" && mkdir -p "$WORK/symbols"
    (cd "$WORK/symbols" && cmake -E tar xf "$SYMBOLS") || fail "symbols archive $SYMBOLS unpacks"
    for f in $INSTALLED_FILES; do
        check "installed $f carries no debug information" without_debug_information "$INSTALL_DIR/$f"
        check "installed $f names $f.debug" grep -qaF "$f.debug" "$INSTALL_DIR/$f"
        check "symbols archive holds the debug information of $f" with_debug_information "$WORK/symbols/$f.debug"
    done
}

# ---- weighing through the installed files -------------------------------------------------

# scalectl opens the device through the stand-in, which creates the service object by the
# ProgID the profile names: the installed registration is what finds Pendrax.dll.
weighs() {
    local status=0
    "$WINE" "$INSTALL_DIR/scalectl.exe" read "$DEVICE" --timeout 2000 >"$WORK/scalectl.out" 2>&1 || status=$?
    tr -d '\r' <"$WORK/scalectl.out" | sed 's/^/      /'
    [ "$status" -eq 0 ] && grep -q "(12345)" "$WORK/scalectl.out"
}

# ---- the walk -----------------------------------------------------------------------------

step "fresh prefix with one cable"
for f in "$PACKAGE" "$EARLIER"; do
    [ -f "$f" ] || { fail "package $f was not built (wixl missing?)"; echo "0 passed, 1 failed"; exit 1; }
done
make_prefix
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -e "$WORK/ports/b1" ]; then
    fail "prefix and cable in $WORK"
    echo "0 passed, 1 failed"
    exit 1
fi
pass "prefix and cable in $WORK"

step "silent install of $(basename "$PACKAGE")"
check "msiexec /i /qn succeeds" msiexec_run 0 install /i "$(windows_path "$PACKAGE")"
MENU_DIR=$(menu_dir_from_log "$WORK/install.log")
MENU_DIR=${MENU_DIR%/}
check_files_present
check_registration_present
check "Programs and Features lists version $(msi_property "$PACKAGE" ProductVersion) alone" listed_alone "$PACKAGE"
check_symbols
check "log folder made under ProgramData" test -d "$PACKAGE_LOG_DIR"
check "the package sets the log folder's own rights" sets_log_folder_rights "$PACKAGE"
check_log_setting "$PACKAGE_LOG_WIN" "LogFile, unset before, names a file in the log folder"
write_profile "$DEVICE_KEY" "$PACKAGE_LOG_WIN" "${PROFILE[@]}"
if start_simulator "$WORK" "$INSTALL_DIR/trm07sim.exe" '\\.\COM21' --weight "$WEIGHT" --data-bits 8 --parity none; then
    check "service object created by ProgID weighs $WEIGHT lb through the control object" weighs
else
    fail "simulator did not start on the package prefix's cable"
    sed 's/^/      /' "$SIM_OUT" 2>/dev/null
fi
stop_simulator
check "the service object wrote its log in the log folder" test -s "$PACKAGE_LOG_DIR/OposAdmin.log"

step "repair after the registration keys and a file were deleted and another damaged"
set_log_setting "$SHOP_LOG_WIN"
reg delete "HKCR\\$PROG_ID" /f
reg delete "HKCR\\CLSID\\$CLSID" /f
rm -f "$INSTALL_DIR/scalectl.exe"
echo damaged >"$INSTALL_DIR/trm07sim.exe"
check "registration deleted" not_a_key "HKCR\\CLSID\\$CLSID"
# Wine's msiexec /f answers 1605 for a package path; the REINSTALL form is the same repair.
check "msiexec /i REINSTALL=ALL REINSTALLMODE=amus /qn succeeds" \
    msiexec_run 0 repair /i "$(windows_path "$PACKAGE")" REINSTALL=ALL REINSTALLMODE=amus
check "deleted scalectl.exe restored" cmp -s "$SHIPPED/scalectl.exe" "$INSTALL_DIR/scalectl.exe"
check "damaged trm07sim.exe restored" cmp -s "$SHIPPED/trm07sim.exe" "$INSTALL_DIR/trm07sim.exe"
check_registration_present
check_log_setting "$SHOP_LOG_WIN" "the shop's LogFile kept"

step "silent uninstall"
check "msiexec /x /qn succeeds" msiexec_run 0 uninstall /x "$(windows_path "$PACKAGE")"
check_files_absent
check_registration_absent
check "no installation listed" test "$(installations)" = 0
check "device profile kept" test "$(reg_default "$DEVICE_KEY")" = "$PROG_ID"
check_log_setting "$SHOP_LOG_WIN" "the shop's LogFile kept"
check "log folder kept" test -d "$PACKAGE_LOG_DIR"
check "log file kept" test -s "$PACKAGE_LOG_DIR/OposAdmin.log"

step "upgrade from $(basename "$EARLIER")"
check "earlier package installs" msiexec_run 0 install-earlier /i "$(windows_path "$EARLIER")"
check_log_setting "$SHOP_LOG_WIN" "the shop's LogFile kept by a fresh install"
check "newer package installs over it" msiexec_run 0 upgrade /i "$(windows_path "$PACKAGE")"
check_log_setting "$SHOP_LOG_WIN" "the shop's LogFile kept by the upgrade"
check "the earlier product is gone" not_a_key "$UNINSTALL_KEY\\$(msi_property "$EARLIER" ProductCode)"
check "Programs and Features lists version $(msi_property "$PACKAGE" ProductVersion) alone" listed_alone "$PACKAGE"
check_files_present
check_registration_present

step "downgrade refused"
check "earlier package over the newer one fails" msiexec_run 1603 downgrade /i "$(windows_path "$EARLIER")"
check "version $(msi_property "$PACKAGE" ProductVersion) stays, alone" listed_alone "$PACKAGE"
check_registration_present

step "uninstall after the upgrade"
check "msiexec /x /qn succeeds" msiexec_run 0 uninstall-upgraded /x "$(windows_path "$PACKAGE")"
check_files_absent
check_registration_absent

echo
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ] || exit 1
finish
rm -rf "$WINEPREFIX"
