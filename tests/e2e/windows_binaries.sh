#!/usr/bin/env bash
# The Windows executables as built: statically linked (they import only KERNEL32, USER32,
# GDI32 and msvcrt, so no DLL has to travel with them), the demo a GUI program and the renderer
# a console one, and the demo's export table holds the graphics class's three accessors.
# Usage: windows_binaries.sh <gradient-demo.exe> <gradient-render.exe>
set -euo pipefail
demo=$1 render=$2
objdump=x86_64-w64-mingw32-objdump
fail() { echo "FAIL: $*" >&2; exit 1; }

check_imports() {
  local dll
  while read -r dll; do
    case "${dll^^}" in
      KERNEL32.DLL | USER32.DLL | GDI32.DLL | MSVCRT.DLL) ;;
      *) fail "$(basename "$1") imports $dll" ;;
    esac
  done < <("$objdump" -p "$1" | awk '/DLL Name:/{print $3}')
  echo "ok: $(basename "$1") imports only: $("$objdump" -p "$1" | awk '/DLL Name:/{printf "%s ", $3}')"
}

check_subsystem() {
  local header
  header=$("$objdump" -p "$1")
  grep -q "^Subsystem.*($2)" <<<"$header" || fail "$(basename "$1") is not a $2 program"
  echo "ok: $(basename "$1") is a $2 program"
}

check_imports "$demo"
check_imports "$render"
check_subsystem "$demo" "Windows GUI"
check_subsystem "$render" "Windows CUI"

# The names listed after "[Ordinal/Name Pointer] Table", demangled.
exports=$("$objdump" -p "$demo" |
  awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && NF==0{on=0} on{print $NF}' | c++filt)
for f in 'TavGFX::GetBpp()' 'TavGFX::GetScreenX()' 'TavGFX::GetScreenY()'; do
  grep -qxF "$f" <<<"$exports" || fail "$f is not in the export table of $(basename "$demo")"
  echo "ok: $f exported"
done
