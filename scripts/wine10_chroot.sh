#!/usr/bin/env bash
# Wine 10 in a Debian 13 (trixie) chroot, for running the 32-bit .scr and
# its tests. The host's Wine 8 runs 32-bit Windows programs only through
# 32-bit Linux libraries, which this kind of machine cannot run; Wine 10
# runs them inside its 64-bit process ("new WoW64"), given the 32-bit
# Windows half of Wine. Debian 13 ships that half only in libwine:i386, so
# the chroot downloads that package and unpacks its i386-windows folder
# (dpkg-deb -x) next to the 64-bit one: nothing is installed for i386,
# neither in the chroot nor on the host.
#
#   scripts/wine10_chroot.sh check
#       says whether the chroot can be made and entered here, and why not
#   scripts/wine10_chroot.sh make
#       makes the chroot unless it is already there (about 1-2 minutes)
#   scripts/wine10_chroot.sh run [--bind DIR]... [--] COMMAND [ARG...]
#       runs COMMAND in the chroot (making it first when missing), in the
#       caller's folder and environment (PATH aside) and with its exit status
#
# The chroot is kept in build/wine10-chroot/root and made again only when
# the recipe below changes. Each run enters a mount namespace of its own
# with /proc, /dev, /tmp and the source tree (and each --bind DIR) bound at
# the same paths as outside: the X displays' sockets (Xvfb runs outside),
# the tests' prefixes and scratch files under /tmp, and the build folders
# are then the same files on both sides. The mounts live only in that
# namespace and go with its last process, so nothing stays mounted inside
# build/ (where `rm -rf build` would otherwise reach the host's /dev).
# All of /tmp, not only /tmp/.X11-unix: a Wine server's socket lives there
# too, so every run finds the server that an earlier run started for the
# same prefix instead of starting a second one.
#
# scripts/wine10/ holds `wine`, `wineserver` and `wineboot` commands that
# run the chroot's own: put that folder first in PATH and the scripts that
# drive Wine use Wine 10 unchanged.
#
# Needs root (debootstrap, chroot and mounts) and a kernel that lets root
# make a mount namespace with bind mounts (some containers do not).
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
base=$source_dir/build/wine10-chroot
root=$base/root
mirror=${GLIMMER_DEBIAN_MIRROR:-http://deb.debian.org/debian}
suite=trixie
# What goes into the chroot. Changing this list (or `recipe`) makes the
# chroot again on the next run. Debian lists most of what Wine's X11 driver
# loads at run time only as recommendations of libwine, so they are named
# here:
#   - libgl1 and libglx-mesa0: without them the saver stops with "Can not
#     initialize OpenGL."; Mesa's llvmpipe (libgl1-mesa-dri) draws;
#   - libxi6 (XInput2): Wine 10 confines the pointer to a full-screen window
#     and, without XInput2, refuses and tries again from every message
#     check. The saver's thread then spun inside PeekMessage: the screen
#     stayed black and Escape was never read. The other X extension
#     libraries are the ones Wine 8 finds on the host (monitors, cursors,
#     pictures, GL child windows);
#   - xdotool, imagemagick and x11-utils: the end-to-end driver runs them
#     from inside Wine (pointer moves, pictures on the root window, the
#     work area panels announce with xprop), so inside the chroot.
packages=(
  wine wine64 libwine libgl1 libglx-mesa0 libgl1-mesa-dri libglu1-mesa libegl1
  libxi6 libxrandr2 libxinerama1 libxcursor1 libxcomposite1 libxext6 libxfixes3
  libxrender1 libxxf86vm1
  xdotool imagemagick x11-utils
)
recipe="2 $suite ${packages[*]} libwine:i386/i386-windows"
stamp=$root/.glimmerwatch-wine10

die() {
  echo "wine10_chroot: $*" >&2
  exit 1
}

# Why this machine cannot make or enter the chroot; silent when it can.
why_not() {
  [ "$(id -u)" -eq 0 ] ||
    { echo "needs root (debootstrap, chroot and bind mounts); run it as root or with sudo"; return; }
  command -v unshare >/dev/null && command -v chroot >/dev/null ||
    { echo "unshare and chroot (util-linux, coreutils) are missing"; return; }
  local probe
  probe=$(mktemp -d /tmp/wine10-probe.XXXXXX)
  if ! unshare --mount --propagation private -- mount --bind /proc "$probe" 2>/dev/null; then
    rmdir "$probe"
    echo "cannot bind-mount in a mount namespace of its own here (unshare --mount with mount --bind failed: a container without CAP_SYS_ADMIN?)"
    return
  fi
  rmdir "$probe"
}

require_runnable() {
  local why
  why=$(why_not)
  [ -z "$why" ] || die "cannot run the Wine 10 chroot: $why"
}

# Runs a command in the chroot under DIR with the bind mounts described
# above. The mounts are made in a new mount namespace, then the command
# replaces the shell there (exec), so its exit status is the caller's.
enter() {
  local dir=$1
  shift
  local binds=() work_dir=$PWD
  while [ $# -gt 0 ]; do
    case $1 in
      --bind) binds+=("$(cd "$2" && pwd)"); shift 2 ;;
      --) shift; break ;;
      *) break ;;
    esac
  done
  [ $# -gt 0 ] || die "run: no command"
  # shellcheck disable=SC2016
  ${enter_by_exec:+exec} unshare --mount --propagation private -- /bin/bash -c '
    set -e
    dir=$1 work_dir=$2 count=$3
    shift 3
    mount --bind /proc "$dir/proc"
    mount --rbind /dev "$dir/dev"
    mount --rbind /tmp "$dir/tmp"
    for ((i = 0; i < count; i++)); do
      mkdir -p "$dir$1"
      mount --bind "$1" "$dir$1"
      shift
    done
    cd "$dir"
    exec chroot "$dir" /usr/bin/env -u LD_PRELOAD -u LD_LIBRARY_PATH \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      /bin/sh -c '\''cd "$0" 2>/dev/null || cd /; exec "$@"'\'' "$work_dir" "$@"
  ' enter "$dir" "$work_dir" $((${#binds[@]} + 1)) "$source_dir" "${binds[@]}" "$@"
}

make_chroot() {
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ] && return 0
  require_runnable
  mkdir -p "$base"
  # One maker at a time; a second caller waits and then finds it made.
  exec 9>"$base/lock"
  flock 9
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ]; then
    exec 9>&-
    return 0
  fi
  "$source_dir/scripts/install_deps.sh"
  local new=$base/root.new log=$base/make.log started=$SECONDS
  # Nothing is mounted there outside a namespace of ours, so this stays on
  # the chroot's own files.
  rm -rf --one-file-system "$new"
  : >"$log"
  echo "== Making the Wine 10 chroot ($suite from $mirror) in $root; log in $log"
  # debootstrap mounts /proc and more in the target itself: in a namespace
  # of its own those mounts cannot outlive it, even when it is killed.
  unshare --mount --propagation private -- \
    debootstrap --variant=minbase "$suite" "$new" "$mirror" >>"$log" 2>&1 ||
    { tail -n 20 "$log" >&2; die "debootstrap failed"; }
  cp /etc/resolv.conf "$new/etc/resolv.conf"
  # The 32-bit Windows half of Wine: libwine:i386 is downloaded, never
  # installed, and i386 is removed from dpkg's architectures again.
  # shellcheck disable=SC2016
  enter "$new" -- /bin/sh -c '
    set -e
    export DEBIAN_FRONTEND=noninteractive
    dpkg --add-architecture i386
    apt-get update
    apt-get install -y --no-install-recommends "$@"
    cd "$(mktemp -d)"
    apt-get download libwine:i386
    dpkg-deb -x libwine_*_i386.deb unpacked
    test -f unpacked/usr/lib/i386-linux-gnu/wine/i386-windows/ntdll.dll
    mkdir -p /usr/lib/x86_64-linux-gnu/wine/i386-windows
    cp -a unpacked/usr/lib/i386-linux-gnu/wine/i386-windows/. /usr/lib/x86_64-linux-gnu/wine/i386-windows/
    cd /
    dpkg --remove-architecture i386
    apt-get update
    apt-get clean
    wine --version
  ' make "${packages[@]}" >>"$log" 2>&1 ||
    { tail -n 20 "$log" >&2; die "installing Wine 10 in the chroot failed"; }
  echo "$recipe" >"$new/.glimmerwatch-wine10"
  rm -rf --one-file-system "$root"
  mv "$new" "$root"
  echo "== Wine 10 chroot made in $((SECONDS - started)) s: $(tail -n 1 "$log")"
  exec 9>&-
}

case ${1:-} in
  check)
    why=$(why_not)
    [ -z "$why" ] || { echo "wine10_chroot: cannot run here: $why" >&2; exit 1; }
    echo "wine10_chroot: can run here"
    ;;
  make)
    make_chroot
    ;;
  run)
    shift
    make_chroot >&2
    # The command becomes this process: a caller's kill or timeout reaches it.
    enter_by_exec=1
    enter "$root" "$@"
    ;;
  *)
    echo "usage: $0 check | make | run [--bind DIR]... [--] COMMAND [ARG...]" >&2
    exit 2
    ;;
esac
