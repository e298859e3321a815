#!/bin/bash
# The loader refuses a program that imports a function its Windows lacks,
# before any of the program's code runs. The launcher's manifest promises
# Vista to 10: these newer functions must be resolved at run time instead.
#   check-imports.sh <objdump> <executable>
set -euo pipefail
objdump="$1"
executable="$2"
newer=(AdjustWindowRectExForDpi GetDpiForSystem GetDpiForWindow SetDefaultDllDirectories
       SystemParametersInfoForDpi GetSystemMetricsForDpi SetThreadDpiAwarenessContext)
imports="$("$objdump" -p "$executable" | sed -n '/^The Import Tables/,/^The Function Table/p')"
if ! grep -q "DLL Name: USER32.dll" <<<"$imports"; then
  echo "no import table read from $executable" >&2
  exit 1
fi
status=0
for name in "${newer[@]}"; do
  if grep -qw "$name" <<<"$imports"; then
    echo "$executable imports $name, which Windows before 10 lacks" >&2
    status=1
  fi
done
exit "$status"
