#!/usr/bin/env bash
# The setup binds ole32.dll, oleaut32.dll and shell32.dll at their first use,
# so that the loader does not map them (and the DLLs they bring) before the
# first window: none may stand in the import table.
#   tests/e2e/check_imports.sh OBJDUMP SETUP.exe
set -u
imports=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p')
bad=$(printf '%s\n' "$imports" | grep -iE '^(ole32|oleaut32|shell32)\.dll$')
if [ -n "$bad" ]; then
  echo "FAIL: $2 imports $bad at load time; bind its new functions in startup/late_bound_imports.cpp" >&2
  exit 1
fi
printf 'imports: %s\n' $imports
