# Sourced, after scripts/private_display.sh, by the scripts that need an
# installed-looking Wine prefix: run.sh, tests/run_wine_tests.sh, bench.sh,
# docs/make_screenshot.sh.
#
#   make_prefix PREFIX ['NAME=TEXT' ...]
#
# Makes a Wine prefix at PREFIX for the display in `display`, with the first
# settings below and the overrides given, once: a PREFIX that is there
# already is used as it is, so one kept between runs keeps what the
# settings dialog stored in it, and groups of tests can share one. A prefix
# this call could not make whole is removed again, so that the next call
# starts afresh instead of running over half a prefix. Either way its Wine
# server is ended when the script exits.
#
#   write_first_settings ['NAME=TEXT' ...]
#
# Writes the saver's first settings into the prefix of WINEPREFIX (Wine on
# DISPLAY) the way the installer's settings file does: it imports
# installer/glimmerwatch-settings.reg, the file the release ships for users
# whose settings are missing, so the values live in that one file only. Each
# argument overrides one value of the same key afterwards, e.g.
#   DISPLAY=$display WINEPREFIX=$prefix write_first_settings 'Show FPS=1'
# Then it reads the key back and fails, naming the value, when a value is
# not what was asked for: a saver started over incomplete settings stops
# with "not properly installed", which is a confusing way to learn of it.
#
#   first_setting NAME ['NAME=TEXT' ...]
# Prints the text the settings file gives NAME, or that of the first
# override for NAME among the arguments; handy for callers that compare.

first_settings_file=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/installer/glimmerwatch-settings.reg

make_prefix() {
  local prefix=$1
  shift
  if [ -d "$prefix" ]; then
    end_prefix_on_exit "$prefix"
    return 0
  fi
  echo "== Making a Wine prefix in $prefix on display $display" >&2
  if init_prefix "$prefix" "$work/wineboot-$(basename "$prefix").log" &&
    DISPLAY=$display WINEPREFIX=$prefix write_first_settings "$@"; then
    # The Wine server that made the prefix and imported the settings is
    # ended before the first real program, and is gone at once; it writes
    # the registry out as it goes. Left to wind down on its own, it made
    # programs started meanwhile wait 10 s in their first call that needed
    # the desktop (GetSystemMetrics, GetDesktopWindow): the first test case
    # of a group, and 5 of 8 short runs 1 s apart in the first minute after
    # the prefix was made, against none once it was ended.
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    WINEPREFIX=$prefix timeout 60 wineserver -w || true
    return 0
  fi
  echo "make_prefix: $prefix could not be made (log: $work/wineboot-$(basename "$prefix").log)" >&2
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
  return 1
}

# The registry key of the settings file's first section, as regedit names it.
first_settings_key() {
  # sed stops at the first section itself: `| head -n1` could kill it with
  # SIGPIPE, which pipefail turns into a failure.
  sed -n '/^\[/{s/^\[\(.*\)\]\r\{0,1\}$/\1/p;q}' "$first_settings_file"
}

# "Name"="text" lines of the settings file as NAME=TEXT, one a line.
first_settings_values() {
  sed -n 's/^"\([^"]*\)"="\([^"]*\)"\r\{0,1\}$/\1=\2/p' "$first_settings_file"
}

first_setting() {
  local name=$1 override line
  for override in "${@:2}"; do
    [ "${override%%=*}" = "$name" ] && { echo "${override#*=}"; return 0; }
  done
  while IFS= read -r line; do
    [ "${line%%=*}" = "$name" ] && { echo "${line#*=}"; return 0; }
  done < <(first_settings_values)
  return 1
}

write_first_settings() {
  local key override
  key=$(first_settings_key)
  [ -n "$key" ] || { echo "write_first_settings: no key in $first_settings_file" >&2; return 1; }
  for override in "$@"; do
    case $override in
      *=*) ;;
      *) echo "write_first_settings: '$override' is not NAME=TEXT" >&2; return 1 ;;
    esac
  done
  import_first_settings "$key" "$@" && first_settings_read_back "$key" "$@" && return 0
  # Seen once in many CI runs, right after a new prefix was made on a busy
  # machine: regedit reported success and the key read back empty. The
  # import is tried once more after the prefix's Wine server has settled;
  # a second failure stops the caller.
  echo "write_first_settings: trying the import once more" >&2
  timeout 60 wineserver -w || true
  import_first_settings "$key" "$@" && first_settings_read_back "$key" "$@"
}

# One regedit run for the file and the overrides: a copy of the file with
# the overrides appended under the same key, later lines winning.
import_first_settings() {
  local key=$1 override import status=0
  shift
  import=$(mktemp /tmp/glimmerwatch-settings.XXXXXX)
  {
    cat "$first_settings_file"
    printf '\n[%s]\n' "$key"
    for override in "$@"; do
      printf '"%s"="%s"\n' "${override%%=*}" "${override#*=}"
    done
  } >"$import"
  # Wine reads the Unix file system as drive Z:.
  WINEDEBUG=-all "$wine64_loader" regedit /S "Z:${import//\//\\}" >/dev/null 2>&1 || status=$?
  rm -f "$import"
  [ $status -eq 0 ] || { echo "write_first_settings: regedit failed ($status)" >&2; return 1; }
}

# Reads the key back; names each value that is not what was asked for.
first_settings_read_back() {
  local key=$1 name text shown status=0
  shift
  shown=$(WINEDEBUG=-all "$wine64_loader" reg query "${key/HKEY_CURRENT_USER/HKCU}" 2>/dev/null | tr -d '\r') ||
    echo "write_first_settings: reg query failed ($?)" >&2
  while IFS= read -r name; do
    text=$(first_setting "$name" "$@")
    if ! grep -Eq "^ +$(sed 's/[][\.*^$]/\\&/g' <<<"$name") +REG_SZ +$(sed 's/[][\.*^$]/\\&/g' <<<"$text")\$" <<<"$shown"; then
      echo "write_first_settings: $key \"$name\" is not \"$text\" after the import" >&2
      status=1
    fi
  done < <({ first_settings_values; [ $# -eq 0 ] || printf '%s\n' "$@"; } | sed 's/=.*//' | sort -u)
  return $status
}
