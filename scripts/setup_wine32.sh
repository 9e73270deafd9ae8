#!/usr/bin/env bash
# Makes this machine run 32-bit Windows programs under Wine 8, for the
# tests of the 32-bit build (tests/run_wine_tests.sh build/win32). Safe to
# run again: each step is taken only when it is missing, and each one taken
# is said.
#
#  1. Whether a 32-bit x86 Linux program runs: a tiny static one is built
#     with binutils and run. Some hypervisors give their guests no 32-bit
#     code segment (and some kernels refuse 32-bit programs outright); there
#     the processor cannot run it, and qemu's user-mode emulator runs it by
#     translation instead. The kernel hands i386 programs to it through
#     binfmt_misc. Debian registers qemu only for foreign processors,
#     assuming that an x86-64 machine runs i386 code itself, so the i386
#     handler is registered here, with the F flag: the emulator is opened
#     once now, and Wine's children find it whatever their root or
#     namespace.
#     On Debian 12 qemu comes from bookworm-backports (qemu 10): Debian 12's
#     own qemu 7.2 does not honour MAP_FIXED_NOREPLACE, which Wine's 32-bit
#     loader answers by probing the address space 64 KB at a time, some
#     100,000 mappings; every 32-bit process then spent about 70 s starting,
#     where qemu 10 takes about a second.
#  2. The i386 architecture and Debian's wine32:i386 (the same Wine 8.0 as
#     the 64-bit half), with the i386 GL and X libraries that Wine loads at
#     run time: Debian only recommends them, and this project installs
#     without recommends.
#
# Installing wine32 makes Debian's `wine` command start every program
# through the 32-bit loader first, under emulation where there is any; so
# the scripts and tests start 64-bit programs with /usr/lib/wine/wine64.
#
# GLIMMER_EMULATE_I386=1 registers the emulator even where the processor
# runs 32-bit code itself, to see here what the tests cost on a machine that
# cannot (binfmt_misc handlers come before the kernel's own ELF loader).
# Needs root, or sudo.
#
# The backports suite is added with the mirror and keyring of the machine's
# own bookworm entry: a fixed address would bypass the mirror (or proxy, or
# snapshot) the machine was set up with, and may not be reachable from it.
#   --print-backports-source  prints the file it would add to apt's sources
#                             and its text, and changes nothing;
#                             GLIMMER_APT_DIR (default /etc/apt) names the
#                             apt folder whose sources are read.
set -euo pipefail

apt_dir=${GLIMMER_APT_DIR:-/etc/apt}

# The first enabled bookworm entry of apt's sources, in apt's reading order,
# turned into the same entry for bookworm-backports: every field is kept
# (URIs, components, Signed-By, options), only the suite changes, and
# source-package lines are left out. Sets backports_file (the name it goes
# under in sources.list.d) and backports_text; fails when there is no such
# entry.
derive_backports_source() {
  local file
  backports_text=
  for file in "$apt_dir/sources.list" "$apt_dir"/sources.list.d/*; do
    [ -f "$file" ] || continue
    case $file in
      *.sources)
        # deb822: one stanza per paragraph; field names in any case;
        # comment lines may stand inside a stanza.
        backports_text=$(awk 'BEGIN { RS = ""; FS = "\n" }
          {
            enabled = 1; suite = 0; binary = 0; out = ""
            for (i = 1; i <= NF; i++) {
              line = $i
              if (line ~ /^#/) continue
              field = tolower(line)
              if (field ~ /^enabled:[ \t]*no/) enabled = 0
              if (field ~ /^(suites|types):/) {
                n = split(substr(line, index(line, ":") + 1), words, /[ \t]+/)
                for (j = 1; j <= n; j++) {
                  if (words[j] == "bookworm") suite = 1
                  if (words[j] == "deb") binary = 1
                }
                line = field ~ /^suites:/ ? "Suites: bookworm-backports" : "Types: deb"
              }
              out = out line "\n"
            }
            if (enabled && suite && binary) { printf "%s", out; exit }
          }' "$file")
        backports_file=bookworm-backports.sources
        ;;
      *.list | */sources.list)
        # One line per entry: deb [options] URI suite components.
        backports_text=$(awk '{ sub(/#.*/, "") }
          $1 == "deb" {
            i = 2
            if ($2 ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }
            if ($(i + 1) == "bookworm") { $(i + 1) = "bookworm-backports"; print; exit }
          }' "$file")
        backports_file=bookworm-backports.list
        ;;
      *) continue ;;
    esac
    [ -n "$backports_text" ] && return 0
  done
  echo "setup_wine32: no bookworm entry in $apt_dir's sources to take the mirror from" >&2
  return 1
}

if [ "${1:-}" = --print-backports-source ]; then
  derive_backports_source
  printf '%s\n%s\n' "$backports_file" "$backports_text"
  exit 0
fi

i386_packages=(
  wine32 libgl1 libglx-mesa0 libgl1-mesa-dri libglu1-mesa
  libxcomposite1 libxcursor1 libxfixes3 libxi6 libxinerama1 libxrandr2
  libxrender1 libxxf86vm1
)
binfmt=/proc/sys/fs/binfmt_misc
qemu=/usr/bin/qemu-i386
# The i386 ELF header (executables and shared objects, as the mask allows
# both e_type values) as binfmt_misc reads it: name, magic, mask, emulator,
# flags.
registration=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'$qemu':F'

if [ "$(id -u)" -eq 0 ]; then
  as_root() { "$@"; }
elif command -v sudo >/dev/null; then
  as_root() { sudo "$@"; }
else
  echo "setup_wine32: needs root or sudo" >&2
  exit 1
fi

say() { echo "== 32-bit set-up: $*"; }

work=$(mktemp -d /tmp/glimmerwatch-setup32.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Exits 42 only when run as 32-bit code: 0x4b is `dec %ebx` there, while
# 64-bit code reads it as a REX prefix of the nop after it, and exits 43.
# A machine that starts an i386 program but runs it as 64-bit code must not
# pass for one that runs it.
cat >"$work/probe.s" <<'EOF'
  .globl _start
_start:
  movl $43, %ebx
  .byte 0x4b
  nop
  movl $1, %eax
  int $0x80
EOF
as --32 -o "$work/probe.o" "$work/probe.s"
ld -m elf_i386 -o "$work/probe" "$work/probe.o"

probe_runs() {
  local status=0
  "$work/probe" 2>"$work/probe.err" || status=$?
  [ $status -eq 42 ] && return 0
  why="exit $status$(tr '\n' ' ' <"$work/probe.err" | sed 's/^./: &/')"
  return 1
}

registered() {
  [ -f "$binfmt/qemu-i386" ] && grep -qx enabled "$binfmt/qemu-i386" &&
    grep -qx "interpreter $qemu" "$binfmt/qemu-i386"
}

install_qemu() {
  local version codename
  version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
  # An epoch-less major version of 8 or more has the fix described above.
  if [ -n "$version" ] && [ "$(sed 's/^[0-9]*://; s/[.].*//' <<<"$version")" -ge 8 ]; then
    return 0
  fi
  export DEBIAN_FRONTEND=noninteractive
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  if [ "$codename" = bookworm ]; then
    if ! grep -rqs 'bookworm-backports' "$apt_dir/sources.list" "$apt_dir/sources.list.d/"; then
      derive_backports_source
      say "adding bookworm-backports to apt's sources from the bookworm entry (for qemu 10)"
      printf '%s\n' "$backports_text" |
        as_root tee "$apt_dir/sources.list.d/$backports_file" >/dev/null
    fi
    as_root apt-get update
    say "installing qemu-user from bookworm-backports"
    as_root apt-get install -y --no-install-recommends -t bookworm-backports qemu-user
  else
    as_root apt-get update
    say "installing qemu-user"
    as_root apt-get install -y --no-install-recommends qemu-user
  fi
}

register_emulator() {
  install_qemu
  if [ ! -f "$binfmt/register" ]; then
    say "mounting binfmt_misc on $binfmt"
    as_root mount -t binfmt_misc binfmt_misc "$binfmt"
  fi
  if [ -f "$binfmt/qemu-i386" ] && ! grep -qx "interpreter $qemu" "$binfmt/qemu-i386"; then
    say "replacing the i386 handler $(sed -n 's/^interpreter //p' "$binfmt/qemu-i386")"
    echo -1 | as_root tee "$binfmt/qemu-i386" >/dev/null
  fi
  if [ -f "$binfmt/qemu-i386" ]; then
    # Registered before, by this script or by hand, and switched off since.
    say "enabling the i386 handler"
    echo 1 | as_root tee "$binfmt/qemu-i386" >/dev/null
  else
    say "registering $qemu for i386 programs"
    printf '%s' "$registration" | as_root tee "$binfmt/register" >/dev/null
  fi
}

why=
if ! registered; then
  if [ "${GLIMMER_EMULATE_I386:-0}" = 1 ]; then
    say "emulating i386 as asked (GLIMMER_EMULATE_I386=1)"
    register_emulator
  elif [ -f "$binfmt/qemu-i386" ] && grep -qx enabled "$binfmt/qemu-i386"; then
    say "an i386 handler with another emulator is enabled"
    register_emulator
  fi
fi
if probe_runs; then
  if registered; then
    say "32-bit programs run through qemu-i386 (binfmt_misc)"
  else
    say "32-bit programs run natively"
  fi
else
  say "the processor does not run 32-bit programs here ($why); they will run under qemu-i386"
  register_emulator
  probe_runs || { echo "!! 32-bit programs do not run even under qemu-i386 ($why)" >&2; exit 1; }
  say "32-bit programs run through qemu-i386 now"
fi

missing=()
for package in "${i386_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package:i386" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package:i386")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding the i386 architecture"
    as_root dpkg --add-architecture i386
  fi
  say "installing ${missing[*]}"
  as_root apt-get update
  as_root apt-get install -y --no-install-recommends "${missing[@]}"
fi
say "wine32 $(dpkg-query -W -f='${Version}' wine32:i386) is installed"
