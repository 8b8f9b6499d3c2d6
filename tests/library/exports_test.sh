#!/bin/sh
# The dynamic symbol table of libtrelm holds exactly the nineteen TRELM_
# functions: no other defined symbol, and in particular no GNU unique ("u")
# or weak ("W", "V") one, which would keep the library from unloading.
# Usage: exports_test.sh path/to/libtrelm.so
set -eu
library=$1
expected='TRELM_CopyFileFromDevice
TRELM_CopyFileFromDeviceWithProgress
TRELM_CopyFileToDevice
TRELM_CopyFileToDeviceWithProgress
TRELM_DeleteFile
TRELM_FileExists
TRELM_FindClose
TRELM_FindFirstFile
TRELM_FindFirstFileWithProgress
TRELM_FindNextFile
TRELM_GetComPortSettings
TRELM_GetConnectedDeviceInfo
TRELM_GetExtendedErrorCode
TRELM_GetFileHandleFromFileName
TRELM_GetFileInfoFromFileHandle
TRELM_GetFileSizeFromFileHandle
TRELM_GetStatistics
TRELM_Init
TRELM_ScanComPortsForDevice'

# Defined dynamic symbols as "TYPE NAME", the version node ("A") left out.
defined=$(nm -D --defined-only "$library" | awk '$2 != "A" { print $2, $3 }' | sed 's/@.*//')
status=0
functions=$(printf '%s\n' "$defined" | awk '$1 == "T" { print $2 }' | sort)
if [ "$functions" != "$expected" ]; then
    echo "exported functions differ from the nineteen of the C API:"
    list=$(mktemp)
    printf '%s\n' "$expected" >"$list"
    printf '%s\n' "$functions" | diff "$list" - || true
    rm -f "$list"
    status=1
fi
others=$(printf '%s\n' "$defined" | awk '$1 != "T"')
if [ -n "$others" ]; then
    echo "other defined dynamic symbols:"
    printf '%s\n' "$others"
    status=1
fi
if readelf --dyn-syms -W "$library" | grep -q 'UNIQUE'; then
    echo "GNU unique symbols in the dynamic table:"
    readelf --dyn-syms -W "$library" | grep 'UNIQUE'
    status=1
fi
[ "$status" -eq 0 ] && echo "exactly the nineteen TRELM_ functions are exported"
exit "$status"
