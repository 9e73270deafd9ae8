#!/usr/bin/env bash
# Builds both installers from the two .scr builds and tests them the way a
# Windows user meets them: the 64-bit installer runs under Wine in a private
# prefix on a private X display (silently, and through its pages with the
# keyboard), the installed saver runs, the uninstaller runs; the 32-bit
# installer cannot run here, so its headers are checked, and the version
# information of both installers and both .scr files is read through the
# Windows API. The winget manifests that release.sh writes are made for these
# installers and checked against the schemas, the files and the registry;
# silent installs and uninstalls use the commands winget runs.
# Usage: tests/installer/test_installer.sh [win32-build-dir] [win64-build-dir]
set -uo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
win32_dir=$(cd "${1:-$source_dir/build/win32}" && pwd)
win64_dir=$(cd "${2:-$source_dir/build/win64}" && pwd)
scr32=$win32_dir/Glimmerwatch.scr
scr64=$win64_dir/Glimmerwatch.scr
version=$(sed -n 's/^project(Glimmerwatch VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")

work=$(mktemp -d /tmp/glimmerwatch-installer.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
source "$source_dir/scripts/private_display.sh"

failures=0
case_failed=0
current=
begin() { current=$1; case_failed=0; echo "-- $current"; }
fail() { echo "   FAIL: $*"; case_failed=1; }
end() {
  if [ $case_failed -eq 0 ]; then echo "   ok"; else failures=$((failures + 1)); fi
}
expect_eq() {  # what expected actual
  [ "$3" == "$2" ] || fail "$1: expected '$2', got '$3'"
}

for file in "$scr32" "$scr64"; do
  [ -f "$file" ] || { echo "missing $file: build the win32 and win64 presets first" >&2; exit 2; }
done

echo "== Building the installers"
for arch in x64 x86; do
  scr=$scr64; [ $arch = x86 ] && scr=$scr32
  makensis -V2 -DARCH=$arch -DSCR="$scr" -DOUTFILE="$work/Glimmerwatch-Setup-$arch.exe" \
    "$source_dir/installer/glimmerwatch.nsi" || { echo "makensis failed for $arch" >&2; exit 1; }
done
setup64=$work/Glimmerwatch-Setup-x64.exe
setup32=$work/Glimmerwatch-Setup-x86.exe
# The interpreter that apt's python3-yaml and python3-jsonschema belong to.
python=/usr/bin/python3
manifests=$work/winget
"$python" "$source_dir/installer/winget_manifests.py" "$version" https://example.invalid/test \
  "$work" "$manifests" || { echo "writing the winget manifests failed" >&2; exit 1; }
x86_64-w64-mingw32-gcc -O1 -Wall -Wextra -Werror -o "$work/probe.exe" \
  "$source_dir/tests/installer/probe.c" -lversion || exit 1

begin "installers are Windows GUI programs of their architecture"
for pair in "$setup32:pei-i386:010b" "$setup64:pei-x86-64:020b"; do
  IFS=: read -r file format magic <<<"$pair"
  dump=$(x86_64-w64-mingw32-objdump -p "$file")
  grep -q "file format $format\$" <<<"$dump" || fail "$(basename "$file") is not $format"
  grep -Eq "^Magic[[:space:]]+$magic" <<<"$dump" || fail "$(basename "$file"): optional header magic is not $magic"
  grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$dump" || fail "$(basename "$file") is not a GUI program"
done
end

begin "winget manifests pass their schemas and name the installers' real SHA-256"
problems=$("$python" "$source_dir/tests/installer/check_winget.py" check "$manifests" "$work") ||
  fail "${problems:-the checker failed}"
end

echo "== Private display and Wine prefix"
start_display 1024x768x24 || exit 1
export DISPLAY=$display
init_prefix "$WINEPREFIX" "$work/wineboot.log"

drive_c=$WINEPREFIX/drive_c
installed=$drive_c/windows/system32/Glimmerwatch.scr
uninstaller=$drive_c/Program\ Files/Glimmerwatch/Uninstall.exe
settings_key='HKCU\Software\Tessaly\Glimmerwatch'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Glimmerwatch'
desktop_key='HKCU\Control Panel\Desktop'
other_saver='C:\windows\system32\other.scr'

# Wine programs write to files, not pipes: Wine's background processes would
# keep a pipe open after the program ends.
probe() {  # probe MODE ARGS... ; prints the probe's output
  "$wine64_loader" "$work/probe.exe" "$work/probe.out" "$@" >/dev/null 2>&1
  local status=$?
  tr -d '\r' <"$work/probe.out"
  return $status
}
reg_value() {  # reg_value KEY NAME [/reg:32]; prints the data, fails when missing
  "$wine64_loader" reg query "$1" /v "$2" ${3:-} >"$work/reg.out" 2>&1 || return 1
  tr -d '\r' <"$work/reg.out" | awk -v name="$2" '
    index($0, "    " name "    REG_") == 1 {
      rest = substr($0, length(name) + 9)
      sub(/^REG_[A-Z_]+/, "", rest); sub(/^    /, "", rest)
      print rest; found = 1
    }
    END { exit !found }'
}
reg_set() { "$wine64_loader" reg add "$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }
key_exists() { "$wine64_loader" reg query "$1" ${2:-} >/dev/null 2>&1; }
# /S is what winget passes to a nullsoft installer for a silent install.
install_silently() { "$wine64_loader" "$setup64" /S >/dev/null 2>&1; }
# Runs the entry's QuietUninstallString, as winget does: the quoted program,
# then its arguments. The uninstaller copies itself to the temp folder,
# starts that copy and returns at once; the copy is what removes everything.
# Wait until every process of the prefix has ended.
uninstall_silently() {
  local command program arguments
  command=$(reg_value "$uninstall_key" QuietUninstallString) || return 1
  [[ $command =~ ^\"([^\"]+)\"(.*)$ ]] || return 1
  program=${BASH_REMATCH[1]}
  read -ra arguments <<<"${BASH_REMATCH[2]}"
  "$wine64_loader" "$program" "${arguments[@]}" >/dev/null 2>&1 || return 1
  timeout 120 wineserver -w
}
wait_for() {  # wait_for SECONDS COMMAND...
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.3
  done
}
x_window() { xdotool search --name "$1" >/dev/null 2>&1; }
no_x_window() { ! x_window "$1"; }
running() { kill -0 "$1" 2>/dev/null; }
stopped() { ! running "$1"; }

begin "version information of both installers and both .scr files"
cp "$scr32" "$work/Glimmerwatch32.scr"
cp "$scr64" "$work/Glimmerwatch64.scr"
info=$(probe version "$work/Glimmerwatch32.scr" "$work/Glimmerwatch64.scr" "$setup32" "$setup64") ||
  fail "version resource unreadable: $info"
field() {  # field FILE-NAME FIELD
  awk -F'|' -v f="$1" -v n="$2" 'substr($1, length($1) - length(f) + 1) == f && $2 == n {
    sub(/^[^|]*[|][^|]*[|]/, ""); print }' <<<"$info"
}
for file in Glimmerwatch32.scr Glimmerwatch64.scr Glimmerwatch-Setup-x86.exe Glimmerwatch-Setup-x64.exe; do
  expect_eq "$file fixed file|product version" "$version|$version" "$(field "$file" Fixed)"
  expect_eq "$file FileVersion" "$version" "$(field "$file" FileVersion)"
  expect_eq "$file ProductVersion" "$version" "$(field "$file" ProductVersion)"
  expect_eq "$file CompanyName" "Tessaly" "$(field "$file" CompanyName)"
  expect_eq "$file ProductName" "Glimmerwatch" "$(field "$file" ProductName)"
done
expect_eq "scr OriginalFilename" "Glimmerwatch.scr" "$(field Glimmerwatch64.scr OriginalFilename)"
expect_eq "x86 setup OriginalFilename" "Glimmerwatch-Setup-x86.exe" "$(field Glimmerwatch-Setup-x86.exe OriginalFilename)"
expect_eq "x86 setup FileDescription" "Glimmerwatch Screen Saver Setup (32-bit)" "$(field Glimmerwatch-Setup-x86.exe FileDescription)"
expect_eq "x64 setup FileDescription" "Glimmerwatch Screen Saver Setup (64-bit)" "$(field Glimmerwatch-Setup-x64.exe FileDescription)"
end

begin "silent install puts the saver in System32 and writes the first values"
reg_set "$desktop_key" SCRNSAVE.EXE "$other_saver"
install_silently; expect_eq "installer exit code" 0 $?
cmp -s "$scr64" "$installed" || fail "System32\\Glimmerwatch.scr is missing or not the 64-bit build"
[ -e "$drive_c/windows/syswow64/Glimmerwatch.scr" ] && fail "a copy landed in SysWOW64"
expect_eq "Resolution" "Current resolution" "$(reg_value "$settings_key" Resolution)"
expect_eq "Show Time" "1" "$(reg_value "$settings_key" 'Show Time')"
expect_eq "Show FPS" "0" "$(reg_value "$settings_key" 'Show FPS')"
"$wine64_loader" reg query "$settings_key" >"$work/reg.out" 2>&1
expect_eq "value types" "REG_SZ REG_SZ REG_SZ" "$(grep -o 'REG_[A-Z_]*' "$work/reg.out" | sort | tr '\n' ' ' | sed 's/ $//')"
expect_eq "SCRNSAVE.EXE untouched without questions" "$other_saver" "$(reg_value "$desktop_key" SCRNSAVE.EXE)"
end

begin "Add/Remove Programs entry in the 64-bit registry view"
[ -f "$uninstaller" ] || fail "no Uninstall.exe in Program Files\\Glimmerwatch"
expect_eq DisplayName "Glimmerwatch Screen Saver" "$(reg_value "$uninstall_key" DisplayName)"
expect_eq Publisher "Tessaly" "$(reg_value "$uninstall_key" Publisher)"
expect_eq DisplayVersion "$version" "$(reg_value "$uninstall_key" DisplayVersion)"
expect_eq DisplayIcon 'C:\windows\system32\Glimmerwatch.scr,0' "$(reg_value "$uninstall_key" DisplayIcon)"
expect_eq UninstallString '"C:\Program Files\Glimmerwatch\Uninstall.exe"' "$(reg_value "$uninstall_key" UninstallString)"
expect_eq QuietUninstallString '"C:\Program Files\Glimmerwatch\Uninstall.exe" /S' "$(reg_value "$uninstall_key" QuietUninstallString)"
expect_eq NoModify 0x1 "$(reg_value "$uninstall_key" NoModify)"
expect_eq NoRepair 0x1 "$(reg_value "$uninstall_key" NoRepair)"
if [ -f "$uninstaller" ]; then
  bytes=$(( $(stat -c %s "$installed") + $(stat -c %s "$uninstaller") ))
  expect_eq "EstimatedSize (KiB)" "$(printf '0x%x' $(( (bytes + 1023) / 1024 )))" "$(reg_value "$uninstall_key" EstimatedSize)"
fi
key_exists "$uninstall_key" /reg:32 && fail "the entry is in the 32-bit view"
end

begin "winget manifests describe the entry the installer wrote"
if entries=$("$python" "$source_dir/tests/installer/check_winget.py" entries "$manifests"); then
  entry() { awk -F'|' -v a="$1" -v n="$2" '$1 == a && $2 == n { sub(/^[^|]*[|][^|]*[|]/, ""); print }' <<<"$entries"; }
  expect_eq PackageVersion "$(reg_value "$uninstall_key" DisplayVersion)" "$(entry '' PackageVersion)"
  # Both installers run the same script, so the x86 one writes what the x64
  # one wrote here (its version was checked above with the others).
  for arch in x64 x86; do
    code=$(entry $arch ProductCode)
    key="${uninstall_key%\\*}\\$code"
    if [ -n "$code" ] && key_exists "$key"; then
      for name in DisplayName Publisher DisplayVersion; do
        expect_eq "$arch $name" "$(reg_value "$key" $name)" "$(entry $arch $name)"
      done
    else
      fail "$arch ProductCode '$code' is not the name of the installer's uninstall key"
    fi
  done
else
  fail "unreadable manifests: $entries"
fi
end

begin "the installed saver starts with /s and ends on Escape with exit code 0"
(cd "$work" && exec "$wine64_loader" 'C:\windows\system32\Glimmerwatch.scr' /s >/dev/null 2>&1) &
saver=$!
if wait_for 30 x_window '^Glimmerwatch$'; then
  sleep 1
  if running $saver; then
    xdotool key Escape
    if wait_for 15 stopped $saver; then
      wait $saver; expect_eq "saver exit code" 0 $?
    else
      fail "still running 15 s after Escape"; kill $saver
    fi
  else
    wait $saver; fail "ended on its own with exit code $?"
  fi
else
  fail "no saver window within 30 s"; kill $saver 2>/dev/null
fi
end

begin "a second install keeps the user's values and restores missing ones"
reg_set "$settings_key" 'Show FPS' 1
reg_set "$settings_key" Resolution 800x600x16
"$wine64_loader" reg delete "$settings_key" /v 'Show Time' /f >/dev/null 2>&1
echo "damaged" >"$installed"
install_silently; expect_eq "installer exit code" 0 $?
expect_eq "Show FPS kept" "1" "$(reg_value "$settings_key" 'Show FPS')"
expect_eq "Resolution kept" "800x600x16" "$(reg_value "$settings_key" Resolution)"
expect_eq "Show Time restored" "1" "$(reg_value "$settings_key" 'Show Time')"
cmp -s "$scr64" "$installed" || fail "the installed .scr was not replaced"
end

# The finish page's two check boxes: the first has the focus when it opens.
finish_page_text='Make Glimmerwatch my screen saver'
run_setup_through_pages() {  # run_setup_through_pages KEYS-ON-FINISH-PAGE...
  "$wine64_loader" "$setup64" >/dev/null 2>&1 &
  local setup=$!
  if ! wait_for 30 probe find 'Welcome to Glimmerwatch Setup' >/dev/null; then
    fail "no welcome page"; kill $setup; return 1
  fi
  xdotool key Return
  if ! wait_for 60 probe find "$finish_page_text" >/dev/null; then
    fail "no finish page"; kill $setup; return 1
  fi
  xdotool key "$@"
  wait_for 30 stopped $setup || { fail "setup still running after Finish"; kill $setup; return 1; }
  wait $setup; expect_eq "installer exit code" 0 $?
}

begin "installing through the pages with both offers declined changes nothing else"
if run_setup_through_pages space Tab space Return; then
  expect_eq "SCRNSAVE.EXE" "$other_saver" "$(reg_value "$desktop_key" SCRNSAVE.EXE)"
  sleep 3
  x_window '^Settings$' && fail "the settings dialog opened"
fi
end

begin "installing through the pages with both offers accepted selects the saver and opens its settings"
reg_set "$settings_key" Resolution 'Current resolution'  # what the dialog should then show
if run_setup_through_pages Return; then
  short=$(probe shortpath 'C:\windows\system32\Glimmerwatch.scr')
  expect_eq "SCRNSAVE.EXE (short path)" "$short" "$(reg_value "$desktop_key" SCRNSAVE.EXE)"
  [[ "$short" == *'~'* ]] || fail "'$short' is not a short path"
  expect_eq "ScreenSaveActive" "1" "$(reg_value "$desktop_key" ScreenSaveActive)"
  if wait_for 20 x_window '^Settings$'; then
    probe find 'Current resolution' >/dev/null || fail "the settings dialog does not show 'Current resolution'"
    xdotool key Return  # OK
    wait_for 15 no_x_window '^Settings$' || fail "the settings dialog did not close on OK"
  else
    fail "the settings dialog did not open"
  fi
fi
end

begin "silent uninstall removes the saver, the settings, the entry, itself and the selection"
uninstall_silently || fail "uninstaller did not finish"
[ -e "$installed" ] && fail "Glimmerwatch.scr is still in System32"
[ -e "$uninstaller" ] && fail "Uninstall.exe is still there"
[ -d "$drive_c/Program Files/Glimmerwatch" ] && fail "Program Files\\Glimmerwatch is still there"
key_exists "$settings_key" && fail "the settings key is still there"
key_exists 'HKCU\Software\Tessaly' && fail "the empty Tessaly key is still there"
key_exists "$uninstall_key" && fail "the uninstall entry is still there"
value=$(reg_value "$desktop_key" SCRNSAVE.EXE) && fail "SCRNSAVE.EXE still set to '$value'"
end

begin "uninstall leaves another saver selected"
install_silently || fail "reinstall failed"
reg_set "$desktop_key" SCRNSAVE.EXE "$other_saver"
uninstall_silently || fail "uninstaller did not finish"
expect_eq "SCRNSAVE.EXE" "$other_saver" "$(reg_value "$desktop_key" SCRNSAVE.EXE)"
[ -e "$installed" ] && fail "Glimmerwatch.scr is still in System32"
key_exists "$settings_key" && fail "the settings key is still there"
end

begin "uninstall clears a selection written as the long path in other letter case"
install_silently || fail "reinstall failed"
reg_set "$desktop_key" SCRNSAVE.EXE 'C:\WINDOWS\System32\GLIMMERWATCH.SCR'
uninstall_silently || fail "uninstaller did not finish"
value=$(reg_value "$desktop_key" SCRNSAVE.EXE) && fail "SCRNSAVE.EXE still set to '$value'"
end

begin "the .reg file for installing by hand holds the installer's first values"
sed 's/$/\r/' "$source_dir/installer/glimmerwatch-settings.reg" >"$work/settings.reg"
key_exists "$settings_key" && fail "the settings key exists before the import"
reg_file="Z:$(tr / '\\' <<<"$work/settings.reg")"
"$wine64_loader" regedit /S "$reg_file" >/dev/null 2>&1 || fail "regedit refused $reg_file"
expect_eq "Resolution" "Current resolution" "$(reg_value "$settings_key" Resolution)"
expect_eq "Show Time" "1" "$(reg_value "$settings_key" 'Show Time')"
expect_eq "Show FPS" "0" "$(reg_value "$settings_key" 'Show FPS')"
end

if [ $failures -ne 0 ]; then
  echo "== Installer tests: $failures case(s) failed"
  exit 1
fi
echo "== Installer tests passed"
