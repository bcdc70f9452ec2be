#!/usr/bin/env bash
# Fails when the installer imports a DLL that is not part of Windows, such as
# the compiler's own runtime (libstdc++, libgcc, winpthread).
set -euo pipefail
exe=$1
system_dlls="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll comctl32.dll msvcrt.dll"
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || { echo "no imports found in $exe"; exit 1; }
status=0
for dll in $imports; do
  case " $system_dlls " in
    *" $dll "*) echo "ok: $dll" ;;
    *) echo "not a system DLL: $dll"; status=1 ;;
  esac
done
exit $status
