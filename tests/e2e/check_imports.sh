#!/usr/bin/env bash
# The setup and the uninstaller bind ole32.dll, oleaut32.dll and shell32.dll
# at their first use, so that the loader does not map them (and the DLLs
# they bring) at start: none may stand in the import table. The listing must hold
# the DLLs every build imports, so that a listing that failed or came out
# empty is no pass.
#   tests/e2e/check_imports.sh OBJDUMP PROGRAM.exe
set -uo pipefail
imports=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p') || {
  echo "FAIL: cannot list the imports of $2" >&2
  exit 1
}
for needed in kernel32.dll user32.dll; do
  printf '%s\n' "$imports" | grep -qix "$needed" || {
    echo "FAIL: the import listing of $2 does not name $needed:" >&2
    printf '  %s\n' $imports >&2
    exit 1
  }
done
bad=$(printf '%s\n' "$imports" | grep -iE '^(ole32|oleaut32|shell32)\.dll$')
if [ -n "$bad" ]; then
  echo "FAIL: $2 imports $bad at load time; bind its new functions in common/late_bound_imports.cpp" >&2
  exit 1
fi
printf 'imports: %s\n' $imports
