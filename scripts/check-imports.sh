#!/usr/bin/env bash
# Checks that a Windows executable is a 32-bit program, imports only the DLLs of
# Windows that an idle panel uses (Winsock, the IP helper, COM and OLE
# automation are loaded when a command first needs them), and tags every
# resource Chinese (PRC).
set -euo pipefail
export LC_ALL=C  # objdump translates its labels
exe=$1
allowed='^(KERNEL32|USER32|GDI32|SHELL32|COMCTL32|ADVAPI32|msvcrt)\.dll$'
objdump=i686-w64-mingw32-objdump
format=$($objdump -f "$exe")
case "$format" in *"file format pei-i386"*) ;; *) echo "$exe is not a 32-bit Windows program"; exit 1 ;; esac
dlls=$($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
echo "$exe imports: $(echo $dlls)"
bad=$(echo "$dlls" | grep -viE "$allowed" || true)
if [ -n "$bad" ]; then
  echo "not a DLL an idle panel uses: $bad"
  exit 1
fi

# Every resource carries the language the version record names: Chinese (PRC), 0x804.
languages=$($objdump -p "$exe" | sed -n '/The .rsrc Resource Directory/,$p' | grep -A1 'Language Table' |
  sed -n 's/.*Entry: ID: 0x\([0-9a-f]*\),.*/\1/p')
echo "$exe resource languages: $(echo $languages)"
if [ -z "$languages" ] || echo "$languages" | grep -qv '^000804$'; then
  echo "a resource is not tagged Chinese (PRC)"
  exit 1
fi
