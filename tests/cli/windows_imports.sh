#!/usr/bin/env bash
# A Windows executable we ship is one file: it may import only DLLs that every Windows has
# (no C++ or thread runtime, no library of ours). Prints the imports it found.
#
# Usage: windows_imports.sh OBJDUMP EXE...
set -euo pipefail
objdump=$1
shift

# Windows' own DLLs an executable of ours may use (lower case).
system_dlls="kernel32.dll msvcrt.dll ucrtbase.dll user32.dll gdi32.dll advapi32.dll shell32.dll
  shlwapi.dll ole32.dll oleaut32.dll comdlg32.dll comctl32.dll ws2_32.dll bcrypt.dll crypt32.dll
  winmm.dll imm32.dll uxtheme.dll dwmapi.dll version.dll userenv.dll netapi32.dll setupapi.dll
  mpr.dll authz.dll d3d9.dll d3d11.dll d3d12.dll dxgi.dll dwrite.dll d2d1.dll opengl32.dll
  mf.dll mfplat.dll mfreadwrite.dll mfuuid.dll wmcodecdspuuid.dll propsys.dll ntdll.dll"
system_dlls=" $(echo $system_dlls) "
status=0
for exe in "$@"; do
    imports=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r')
    [ -n "$imports" ] || { echo "$exe: no imports found" >&2; exit 1; }
    echo "$(basename "$exe"): $(echo $imports)"
    while read -r dll; do
        lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
        case $lower in api-ms-win-*) continue ;; esac
        if [[ $system_dlls != *" $lower "* ]]; then
            echo "$exe imports $dll, which Windows does not have" >&2
            status=1
        fi
    done <<<"$imports"
done
exit $status
