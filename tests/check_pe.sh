#!/usr/bin/env bash
# Checks a built .scr's PE headers and imports: the machine type, the GUI
# subsystem, and that it needs no DLL beyond those every Windows has (a
# MinGW runtime DLL would make the copied .scr fail to start).
# Usage: tests/check_pe.sh file.scr i386|x86-64
set -euo pipefail
file=$1
arch=$2
objdump=x86_64-w64-mingw32-objdump
dump=$($objdump -p "$file")
fail=0

expect() {
  if ! grep -Eq "$1" <<<"$dump"; then
    echo "FAIL: $file: expected '$1' in the PE headers" >&2
    fail=1
  fi
}

case $arch in
  i386) expect 'file format pei-i386'; expect '^Magic[[:space:]]+010b' ;;
  x86-64) expect 'file format pei-x86-64'; expect '^Magic[[:space:]]+020b' ;;
  *) echo "unknown architecture $arch" >&2; exit 2 ;;
esac
expect '^Subsystem[[:space:]]+00000002'

allowed='^(kernel32|user32|gdi32|advapi32|opengl32|glu32|winmm|ole32|oleaut32|comctl32|msvcrt)\.dll$'
imports=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump" | sort -u)
if [ -z "$imports" ]; then
  echo "FAIL: $file: no imports found" >&2
  fail=1
fi
for dll in $imports; do
  if ! grep -Eq "$allowed" <<<"$dll"; then
    echo "FAIL: $file imports $dll, which is not a system DLL" >&2
    fail=1
  fi
done

# The 32-bit .scr is the one for old Windows: a subsystem version above 4.0
# keeps 95, 98 and NT 4 from loading it, and so does any import of a
# function they lack. Every import must be on the list of the oldest
# Windows the README names.
if [ "$arch" = i386 ]; then
  expect '^MajorSubsystemVersion[[:space:]]+4$'
  expect '^MinorSubsystemVersion[[:space:]]+0$'
  list=$(dirname "$0")/pe_imports_oldest.txt
  allowed_imports=$(awk '!/^#/ {
      for (i = 1; i <= NF; i++) {
        if ($i ~ /\.dll:$/) { dll = tolower(substr($i, 1, length($i) - 1)); continue }
        print dll "!" $i
      }
    }' "$list" | sort -u)
  used_imports=$(awk '/^The Import Tables/ { on = 1 }
      /^The Export Tables|^PE File Base Relocations/ { on = 0 }
      on && /DLL Name:/ { dll = tolower($3) }
      on && dll != "" && /^\t[0-9a-f]+\t/ { print dll "!" $NF }' <<<"$dump" | sort -u)
  if [ -z "$used_imports" ]; then
    echo "FAIL: $file: no imported functions found" >&2
    fail=1
  fi
  for import in $(comm -23 <(echo "$used_imports") <(echo "$allowed_imports")); do
    echo "FAIL: $file imports $import, which is not on $list: look it up at run time" >&2
    fail=1
  done
fi

# Resources the host and the control panel rely on.
for section in '.rsrc'; do
  $objdump -h "$file" | grep -q " $section " || { echo "FAIL: no $section section" >&2; fail=1; }
done

# The .scr is copied around alone and should stay small; the C++ library's
# containers and exception runtime alone would add some 200 KB.
size=$(stat -c %s "$file")
limit=$((300 * 1024))
if [ "$size" -gt "$limit" ]; then
  echo "FAIL: $file is $size bytes, more than $limit" >&2
  fail=1
fi
echo "$file: $arch, GUI, $size bytes, imports: $(tr '\n' ' ' <<<"$imports")"
exit $fail
