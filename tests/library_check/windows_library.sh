#!/bin/sh
# The Windows plugin library must export its entry point and nothing else, under its plain name (neither a
# stdcall "@N" nor a C++ decoration), and import from no DLL but KERNEL32 and msvcrt.
# Usage: windows_library.sh OBJDUMP LIBRARY
set -eu
tables=$("$1" -p "$2")
exports=$(printf '%s\n' "$tables" |
  awk '/^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next } inside && NF == 0 { inside = 0 } inside { print $NF }' |
  sort | tr '\n' ' ')
imports=$(printf '%s\n' "$tables" | awk '/^[[:space:]]*DLL Name:/ { print toupper($3) }' | sort -u | tr '\n' ' ')
echo "exports: $exports"
echo "imports: $imports"
status=0
if [ "$exports" != "load_kiv_player_level_up " ]; then
  echo "FAIL: the library exports [ ${exports}]; it must export load_kiv_player_level_up alone, undecorated"
  status=1
fi
for dll in $imports; do
  case $dll in
    KERNEL32.DLL | MSVCRT.DLL) ;;
    *) echo "FAIL: the library imports from $dll"; status=1 ;;
  esac
done
exit $status
