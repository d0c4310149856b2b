#!/bin/bash
# Usage: check-imports.sh OBJDUMP DIR
# Fails when any .exe under DIR imports a DLL that is not part of Windows.
set -euo pipefail
objdump=$1 dir=$2
system='^(kernel32|user32|gdi32|advapi32|shell32|winmm|msvcrt|ws2_32|ole32|oleaut32|comctl32|comdlg32|shlwapi|version|psapi|api-ms-win-[a-z0-9-]+)\.dll$'
count=0 bad=0
while IFS= read -r -d '' exe; do
    count=$((count + 1))
    while read -r dll; do
        if ! grep -qiE "$system" <<<"$dll"; then
            echo "$exe imports $dll"
            bad=1
        fi
    done < <("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$dir" -name '*.exe' -not -path '*/CMakeFiles/*' -print0)
[ "$count" -gt 0 ] || { echo "no programs found under $dir"; exit 1; }
echo "$count programs, system DLLs only"
exit $bad
