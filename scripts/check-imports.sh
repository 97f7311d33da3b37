#!/usr/bin/env bash
# Checks that a Windows executable imports only DLLs that every Windows has, and
# that it is a 32-bit program.
set -euo pipefail
export LC_ALL=C  # objdump translates its labels
exe=$1
allowed='^(KERNEL32|USER32|GDI32|SHELL32|COMCTL32|OLE32|OLEAUT32|ADVAPI32|SHLWAPI|COMDLG32|msvcrt)\.dll$'
objdump=i686-w64-mingw32-objdump
format=$($objdump -f "$exe")
case "$format" in *"file format pei-i386"*) ;; *) echo "$exe is not a 32-bit Windows program"; exit 1 ;; esac
dlls=$($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
echo "$exe imports: $(echo $dlls)"
bad=$(echo "$dlls" | grep -viE "$allowed" || true)
if [ -n "$bad" ]; then
  echo "not a Windows system DLL: $bad"
  exit 1
fi
