#!/bin/sh
# Checks the export and import tables of the service-object DLL.
# usage: frame_exports_test.sh <objdump> <Pendrax.dll>
objdump=$1
dll=$2
if [ ! -f "$dll" ]; then
    echo "SKIP: $dll was not built"
    exit 77
fi
table=$("$objdump" -p "$dll") || { echo "FAIL: $objdump could not read $dll"; exit 1; }
failed=0

exports=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p')
for name in DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer; do
    if ! printf '%s\n' "$exports" | grep -qx "$name"; then
        echo "FAIL: export $name missing or decorated"
        failed=1
    fi
done
extra=$(printf '%s\n' "$exports" | grep -vxE 'DllGetClassObject|DllCanUnloadNow|DllRegisterServer|DllUnregisterServer')
if [ -n "$extra" ]; then
    echo "FAIL: unexpected exports: $extra"
    failed=1
fi

# No MinGW runtime DLLs on a POS terminal: only what every Windows installation has.
system='^(KERNEL32|USER32|GDI32|ADVAPI32|OLE32|OLEAUT32|COMDLG32|COMCTL32|SHELL32|SHLWAPI|RPCRT4|VERSION|msvcrt)\.dll$'
imports=$(printf '%s\n' "$table" | sed -n 's/^[[:space:]]*DLL Name: //p')
for dll_name in $imports; do
    if ! printf '%s\n' "$dll_name" | grep -qiE "$system"; then
        echo "FAIL: imports non-system DLL $dll_name"
        failed=1
    fi
done

if [ "$failed" -eq 0 ]; then
    echo "exports: $(echo $exports)"
    echo "imports: $(echo $imports)"
fi
exit $failed
