#!/usr/bin/env bash
# An installer package under Wine, in a prefix and on a cable of its own, walked through a
# terminal's life: a silent install that makes the log folder, names a file there as the log and
# weighs, a repair after the registration and files were deleted and another damaged, a silent
# uninstall that leaves the shop's profile, log folder, log setting and log, then an upgrade from
# an earlier package and a refused downgrade. A log setting the shop made is kept throughout. The
# files installed are the shipped ones, without debug information, which the symbols archive
# beside the package holds.
#
# The x86 package is walked in a 32-bit prefix (32-bit Windows). The x64 package is walked in a
# 64-bit prefix that runs 32-bit programs too (WOW64, with the registry split): both service
# objects, each registered in its own registry view, weigh through the control object of their
# bitness; and a terminal that had the x86 package moves to the x64 one. The run script starts
# the x64 walk where the 32-bit loader stands beside the 64-bit one.
#
# Each check prints one line; the test fails when any check does. The prefix is removed when
# every check passed.
#
#   package_test.sh <x86|x64> <package.msi> <earlier-package.msi> <x86-package.msi>
#                   <shipped-dir> <shipped-dir-32> <symbols-archive> <objdump>
#                   <test-bin-dir> <test-bin-dir-32> <work-dir>
#
# The test bin dirs give the control-object stand-ins, which a terminal has (as the real control
# object) from its OPOS installation and the package therefore does not carry; the standard's
# control object is registered after them where KA_OPOS_CCO_DIR holds it.
set -uo pipefail

[ $# -eq 11 ] || {
    echo "usage: package_test.sh <x86|x64> <package.msi> <earlier-package.msi> <x86-package.msi> <shipped-dir> <shipped-dir-32> <symbols-archive> <objdump> <test-bin-dir> <test-bin-dir-32> <work-dir>" >&2
    exit 2
}
ARCH=$1
PACKAGE=$(realpath -m "$2")
EARLIER=$(realpath -m "$3")
X86_PACKAGE=$(realpath -m "$4")
SHIPPED=$(realpath -m "$5")
SHIPPED_32=$(realpath -m "$6")
SYMBOLS=$(realpath -m "$7")
OBJDUMP=$8
BIN=$(realpath -m "$9")
BIN_32=$(realpath -m "${10}")
WORK=$(realpath -m "${11}")

WINE=${WINELOADER:-/usr/lib/wine/wine64}
# shellcheck source=tools/simulated_scale.sh
. "$(dirname "$0")/../../tools/simulated_scale.sh"
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all
if [ "$ARCH" = x64 ]; then export WINEARCH=win64; else export WINEARCH=${WINEARCH:-win32}; fi
# No menu entries on the host for the package's shortcut.
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"

PRODUCT_NAME="Kolvane-Aris TRM-07 Scale"
PROG_ID=KolvaneAris.ScaleTRM07
CLSID='{A3F61C02-7E45-4D2B-8C1A-52B9E0D4F713}'
CONTROL_CLSID='{CCB90172-B81E-11D2-AB74-0040054C3719}'
MENU_DIR=    # where the installer put the Start menu folder, read from its log
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# One installation folder per bitness: its registry view (a reg flag, none on 32-bit Windows),
# folder, shipped files, the stand-in of that bitness and the program that registers it.
if [ "$ARCH" = x64 ]; then
    VIEWS="32 64"
else
    VIEWS="32"
fi
view_flag() { [ "$ARCH" = x64 ] && echo "/reg:$1"; }
install_dir() {
    if [ "$ARCH" = x64 ] && [ "$1" = 32 ]; then
        echo "$WINEPREFIX/drive_c/Program Files (x86)/Kolvane-Aris"
    else
        echo "$WINEPREFIX/drive_c/Program Files/Kolvane-Aris"
    fi
}
installed_files() { if [ "$1" = 32 ]; then echo "Pendrax.dll Vantorel.exe scalectl.exe trm07sim.exe"; else echo "Pendrax.dll scalectl.exe"; fi; }
shipped_dir() { if [ "$1" = 32 ]; then echo "$SHIPPED_32"; else echo "$SHIPPED"; fi; }
symbols_folder() { if [ "$1" = 32 ]; then echo x86; else echo x64; fi; }
regsvr() { # view dll
    if [ "$ARCH" = x64 ] && [ "$1" = 32 ]; then
        "$WINE" 'C:\windows\syswow64\regsvr32.exe' /s "$(windows_path "$2")" >/dev/null 2>&1
    else
        "$WINE" regsvr32 /s "$(windows_path "$2")" >/dev/null 2>&1
    fi
}

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

# ---- prefix, cable and control objects --------------------------------------------------

# Under Wine a 32-bit program of a WOW64 prefix cannot bring up the desktop itself, and the
# desktop goes when nothing holds a window: a 64-bit program holds it while the 32-bit ones run.
KEEPER_PID=
start_desktop_keeper() {
    [ "$ARCH" = x64 ] || return 0
    mkfifo "$WORK/keeper.in"
    exec 4<>"$WORK/keeper.in"
    "$WINE" "$BIN/desktop_keeper.exe" <"$WORK/keeper.in" >"$WORK/keeper.out" 2>&1 4>&- &
    KEEPER_PID=$!
    await_line "$WORK/keeper.out" 'desktop ready' "$KEEPER_PID"
}

stop_desktop_keeper() {
    [ -n "$KEEPER_PID" ] || return 0
    exec 4>&- || true
    wait "$KEEPER_PID" 2>/dev/null || true
    KEEPER_PID=
}

SOCAT_PID=
finish() {
    stop_simulator
    stop_desktop_keeper
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    [ -z "$SOCAT_PID" ] || kill "$SOCAT_PID" 2>/dev/null || true
    SOCAT_PID=
}
trap finish EXIT

# The standard's control object of a bitness, where it is at hand.
standard_control() {
    local folder=win32
    [ "$1" = 64 ] && folder=x64
    [ -n "${KA_OPOS_CCO_DIR:-}" ] && [ -f "$KA_OPOS_CCO_DIR/$folder/OPOSScale.ocx" ] &&
        echo "$KA_OPOS_CCO_DIR/$folder/OPOSScale.ocx"
    return 0
}

make_prefix() {
    local view ocx
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
    for view in $VIEWS; do
        if [ "$view" = 32 ]; then regsvr 32 "$BIN_32/OposScaleStandIn.dll"; else regsvr 64 "$BIN/OposScaleStandIn.dll"; fi
        ocx=$(standard_control "$view")
        [ -z "$ocx" ] || regsvr "$view" "$ocx"
    done
}

# A 64-bit prefix whose 32-bit side is set up runs 32-bit programs.
prefix_ready() {
    [ -f "$WINEPREFIX/system.reg" ] && [ -e "$WORK/ports/b1" ] || return 1
    [ "$ARCH" != x64 ] || [ -n "$(ls -A "$WINEPREFIX/drive_c/windows/syswow64" 2>/dev/null)" ]
}

reg() { wine_reg "$@"; }

# A Wine process's output goes to a file: a pipe would be held open by the wineserver's services.
unix_path() {
    "$WINE" winepath -u "$1" >"$WORK/winepath.out" 2>/dev/null || return 1
    tr -d '\r' <"$WORK/winepath.out"
}

reg_default() { # key [view flag]
    "$WINE" reg query "$1" /ve ${2:-} >"$WORK/reg.out" 2>&1 || return 1
    tr -d '\r' <"$WORK/reg.out" | sed -n 's/^ *(Default) *REG_SZ *//p' | grep .
}

reg_value() { # key name [view flag]
    "$WINE" reg query "$1" /v "$2" ${3:-} >"$WORK/reg.out" 2>&1 || return 1
    tr -d '\r' <"$WORK/reg.out" | sed -n "s/^ *$2 *REG_SZ *//p" | grep .
}

not_a_key() { ! "$WINE" reg query "$1" ${2:-} >/dev/null 2>&1; }

# Each registry view the package serves names the log file.
check_log_setting() { # expected description
    local view
    for view in $VIEWS; do
        check "$2 ($view-bit view)" test "$(reg_value "$PROVIDER_KEY" LogFile "$(view_flag "$view")")" = "$1"
    done
}

set_log_setting() { # path
    local view
    for view in $VIEWS; do reg add "$PROVIDER_KEY" /v LogFile /d "$1" /f $(view_flag "$view"); done
}

# ---- what the package lays down -----------------------------------------------------------

# The entries of DllRegisterServer: key under HKEY_CLASSES_ROOT and its default value; the
# threading model is checked apart.
REGISTRATION=(
    "$PROG_ID|$PROG_ID"
    "CLSID\\$CLSID|$PROG_ID"
    "$PROG_ID\\CLSID|$CLSID"
    "CLSID\\$CLSID\\ProgID|$PROG_ID"
    "CLSID\\$CLSID\\InProcServer32|(the installed Pendrax.dll)"
)

# InProcServer32 may hold the short form of the path: compare the files it names.
names_installed_dll() { # path view
    local unix
    unix=$(unix_path "$1")
    [ -n "$unix" ] && [ "$(realpath -e "$unix" 2>/dev/null)" = "$(realpath -e "$(install_dir "$2")/Pendrax.dll" 2>/dev/null)" ]
}

registration_entry_present() { # key expected view
    local value
    value=$(reg_default "HKCR\\$1" "$(view_flag "$3")") || return 1
    if [[ $1 == *InProcServer32 ]]; then names_installed_dll "$value" "$3"; else [ "$value" = "$2" ]; fi
}

check_registration_present() {
    local entry view
    for view in $VIEWS; do
        for entry in "${REGISTRATION[@]}"; do
            check "registration HKCR\\${entry%%|*} = ${entry#*|} ($view-bit view)" \
                registration_entry_present "${entry%%|*}" "${entry#*|}" "$view"
        done
        check "registration names the apartment threading model ($view-bit view)" \
            test "$(reg_value "HKCR\\CLSID\\$CLSID\\InProcServer32" ThreadingModel "$(view_flag "$view")")" = Apartment
    done
}

check_registration_absent() {
    local entry view
    for view in $VIEWS; do
        for entry in "${REGISTRATION[@]}"; do
            check "registration HKCR\\${entry%%|*} removed ($view-bit view)" not_a_key "HKCR\\${entry%%|*}" "$(view_flag "$view")"
        done
    done
}

# Wine resolves the Start menu per user even for a per-machine package; Windows puts it under
# ProgramData. Either way the installer logs the folder it used.
menu_dir_from_log() { # msiexec log
    local dir
    dir=$(tr -d '\r' <"$1" | sed -n 's/^Property(S): ProgramMenuDir = //p' | tail -n 1)
    [ -n "$dir" ] && unix_path "$dir"
}

check_files_present() {
    local f view
    for view in $VIEWS; do
        for f in $(installed_files "$view"); do
            check "installed $f ($view-bit)" cmp -s "$(shipped_dir "$view")/$f" "$(install_dir "$view")/$f"
        done
    done
    local shortcut='C:\Program Files\Kolvane-Aris\Vantorel.exe'
    [ "$ARCH" = x64 ] && shortcut='C:\Program Files (x86)\Kolvane-Aris\Vantorel.exe'
    check "Start menu shortcut names the installed Vantorel.exe" grep -aqF "$shortcut" "$MENU_DIR/Vantorel.lnk"
}

check_files_absent() {
    local f view
    for view in $VIEWS; do
        for f in $(installed_files "$view"); do
            check "removed $f ($view-bit)" test ! -e "$(install_dir "$view")/$f"
        done
        check "removed the $view-bit installation folder" test ! -e "$(install_dir "$view")"
    done
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

# How many products of this name Programs and Features lists, in either view.
installations() {
    local view count=0 found
    for view in $VIEWS; do
        "$WINE" reg query "$UNINSTALL_KEY" /s $(view_flag "$view") >"$WORK/uninstall.out" 2>&1
        found=$(tr -d '\r' <"$WORK/uninstall.out" | grep -c "^ *DisplayName *REG_SZ *$PRODUCT_NAME\$")
        count=$((count + found))
    done
    echo "$count"
}

# Programs and Features lists this package's product and version, and nothing else of its name.
listed_alone() { # package
    local code version view
    code=$(msi_property "$1" ProductCode)
    version=$(msi_property "$1" ProductVersion)
    [ "$(installations)" = 1 ] || return 1
    for view in $VIEWS; do
        [ "$(reg_value "$UNINSTALL_KEY\\$code" DisplayVersion "$(view_flag "$view")")" = "$version" ] && return 0
    done
    return 1
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
    local f view debug
    rm -rf "$WORK/symbols" && mkdir -p "$WORK/symbols"
    (cd "$WORK/symbols" && cmake -E tar xf "$SYMBOLS") || fail "symbols archive $SYMBOLS unpacks"
    for view in $VIEWS; do
        for f in $(installed_files "$view"); do
            debug=$WORK/symbols/$(symbols_folder "$view")/$f.debug
            check "installed $f ($view-bit) carries no debug information" without_debug_information "$(install_dir "$view")/$f"
            check "installed $f ($view-bit) names $f.debug" grep -qaF "$f.debug" "$(install_dir "$view")/$f"
            check "symbols archive holds the debug information of $f ($view-bit)" with_debug_information "$debug"
        done
    done
}

# ---- weighing through the installed files -------------------------------------------------

# The installed scalectl of a bitness opens the device through the control object of its
# bitness, which creates the service object by the ProgID the profile names: the installed
# registration of that view is what finds that Pendrax.dll.
weighs() { # view
    local status=0

    "$WINE" "$(install_dir "$1")/scalectl.exe" read "$DEVICE" --timeout 2000 >"$WORK/scalectl.out" 2>&1 || status=$?
    tr -d '\r' <"$WORK/scalectl.out" | sed 's/^/      /'
    [ "$status" -eq 0 ] && grep -q "(12345)" "$WORK/scalectl.out"
}

write_profiles() {
    local view entry
    for view in $VIEWS; do
        reg add "$DEVICE_KEY" /ve /d "$PROG_ID" /f $(view_flag "$view")
        for entry in "${PROFILE[@]}"; do
            reg add "$DEVICE_KEY" /v "${entry%%=*}" /d "${entry#*=}" /f $(view_flag "$view")
        done
    done
}

profile_kept() {
    local view
    for view in $VIEWS; do
        [ "$(reg_default "$DEVICE_KEY" "$(view_flag "$view")")" = "$PROG_ID" ] || return 1
    done
}


# ---- the walk -----------------------------------------------------------------------------

step "fresh $WINEARCH prefix with one cable"
for f in "$PACKAGE" "$EARLIER" "$X86_PACKAGE"; do
    [ -f "$f" ] || { fail "package $f was not built (wixl missing?)"; echo "0 passed, 1 failed"; exit 1; }
done
make_prefix
if ! prefix_ready; then
    fail "prefix and cable in $WORK (for the x64 package, 32-bit programs must run in it)"
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
write_profiles
start_desktop_keeper || fail "a 64-bit program holds the prefix's desktop"
if start_simulator "$WORK" "$(install_dir 32)/trm07sim.exe" '\\.\COM21' --weight "$WEIGHT" --data-bits 8 --parity none; then
    for view in $VIEWS; do
        check "the $view-bit service object, created by ProgID, weighs $WEIGHT lb through the $view-bit control object" weighs "$view"
    done
else
    fail "simulator did not start on the package prefix's cable"
    sed 's/^/      /' "$SIM_OUT" 2>/dev/null
fi
stop_simulator
stop_desktop_keeper
check "the service objects wrote their log in the log folder" test -s "$PACKAGE_LOG_DIR/OposAdmin.log"

step "repair after the registration keys and files were deleted and another damaged"
set_log_setting "$SHOP_LOG_WIN"
for view in $VIEWS; do
    reg delete "HKCR\\$PROG_ID" /f $(view_flag "$view")
    reg delete "HKCR\\CLSID\\$CLSID" /f $(view_flag "$view")
    check "registration deleted ($view-bit view)" not_a_key "HKCR\\CLSID\\$CLSID" "$(view_flag "$view")"
    rm -f "$(install_dir "$view")/scalectl.exe"
done
echo damaged >"$(install_dir 32)/trm07sim.exe"
# Wine's msiexec /f answers 1605 for a package path; the REINSTALL form is the same repair.
check "msiexec /i REINSTALL=ALL REINSTALLMODE=amus /qn succeeds" \
    msiexec_run 0 repair /i "$(windows_path "$PACKAGE")" REINSTALL=ALL REINSTALLMODE=amus
for view in $VIEWS; do
    check "deleted scalectl.exe restored ($view-bit)" cmp -s "$(shipped_dir "$view")/scalectl.exe" "$(install_dir "$view")/scalectl.exe"
done
check "damaged trm07sim.exe restored" cmp -s "$SHIPPED_32/trm07sim.exe" "$(install_dir 32)/trm07sim.exe"
check_registration_present
check_log_setting "$SHOP_LOG_WIN" "the shop's LogFile kept"

step "silent uninstall"
check "msiexec /x /qn succeeds" msiexec_run 0 uninstall /x "$(windows_path "$PACKAGE")"
check_files_absent
check_registration_absent
check "no installation listed" test "$(installations)" = 0
check "device profile kept" profile_kept
check_log_setting "$SHOP_LOG_WIN" "the shop's LogFile kept"
check "log folder kept" test -d "$PACKAGE_LOG_DIR"
check "log file kept" test -s "$PACKAGE_LOG_DIR/OposAdmin.log"

step "upgrade from $(basename "$EARLIER")"
check "earlier package installs" msiexec_run 0 install-earlier /i "$(windows_path "$EARLIER")"
check_log_setting "$SHOP_LOG_WIN" "the shop's LogFile kept by a fresh install"
check "newer package installs over it" msiexec_run 0 upgrade /i "$(windows_path "$PACKAGE")"
check_log_setting "$SHOP_LOG_WIN" "the shop's LogFile kept by the upgrade"
check "the earlier product is gone" test -z "$(reg_value "$UNINSTALL_KEY\\$(msi_property "$EARLIER" ProductCode)" DisplayVersion)"
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

if [ "$ARCH" = x64 ]; then
    step "a terminal moves from $(basename "$X86_PACKAGE") to $(basename "$PACKAGE")"
    check "the x86 package installs on 64-bit Windows" msiexec_run 0 install-x86 /i "$(windows_path "$X86_PACKAGE")"
    check "the x64 package of the same version installs over it" msiexec_run 0 move /i "$(windows_path "$PACKAGE")"
    check "the x86 product is gone" test -z "$(reg_value "$UNINSTALL_KEY\\$(msi_property "$X86_PACKAGE" ProductCode)" DisplayVersion /reg:32)"
    check "Programs and Features lists the x64 product alone" listed_alone "$PACKAGE"
    check_files_present
    check_registration_present
    check "msiexec /x /qn succeeds" msiexec_run 0 uninstall-moved /x "$(windows_path "$PACKAGE")"
    check_registration_absent
fi

echo
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ] || exit 1
finish
rm -rf "$WINEPREFIX"
