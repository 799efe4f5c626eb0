#!/usr/bin/env bash
# check-imports.sh OBJDUMP EXE...: every DLL an executable imports must be one that
# ships with Windows, so the program needs nothing installed beside it.
set -u
objdump=$1; shift
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|advapi32|shell32|ole32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+|winspool\.drv|ntdll|ws2_32|shlwapi|version)(\.dll)?$'
bad=0
for exe in "$@"; do
  dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$dlls" ] || { echo "$exe: no imports found"; bad=1; continue; }
  for d in $dlls; do
    if ! printf '%s\n' "$d" | grep -Eq "$allowed"; then
      echo "$exe imports $d, which does not ship with Windows"
      bad=1
    fi
  done
  echo "$(basename "$exe"): $(echo $dlls | tr '\n' ' ')"
done
exit $bad
