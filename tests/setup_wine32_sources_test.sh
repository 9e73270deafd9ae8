#!/usr/bin/env bash
# The backports entry that scripts/setup_wine32.sh would add comes from the
# machine's own bookworm entry (mirror, keyring, options), never from the
# security suite or a suite that merely contains the word; without such an
# entry the script fails rather than guess an address.
set -euo pipefail
script=$(cd "$(dirname "$0")/.." && pwd)/scripts/setup_wine32.sh
apt=$(mktemp -d)
trap 'rm -rf "$apt"' EXIT
mkdir "$apt/sources.list.d"
derive() { GLIMMER_APT_DIR=$apt "$script" --print-backports-source; }
expect() {
  [ "$1" = "$2" ] || { printf 'got:\n%s\nexpected:\n%s\n' "$1" "$2" >&2; exit 1; }
}

printf '%s\n' 'deb http://mirror.invalid/debian-security bookworm-security main' \
  'deb http://mirror.invalid/tools tools-bookworm main' >"$apt/sources.list"
printf '%s\n' 'Types: deb' 'URIs: http://mirror.invalid/off' 'Suites: bookworm' 'Enabled: no' '' \
  'Types: deb-src' 'URIs: http://mirror.invalid/source' 'Suites: bookworm' '' \
  'Types: deb deb-src' '# a snapshot of the archive' 'URIs: http://mirror.invalid/debian' \
  'Suites: bookworm bookworm-updates' 'Components: main contrib' \
  'Signed-By: /usr/share/keyrings/mirror.gpg' >"$apt/sources.list.d/debian.sources"
expect "$(derive)" "$(printf '%s\n' bookworm-backports.sources 'Types: deb' \
  'URIs: http://mirror.invalid/debian' 'Suites: bookworm-backports' 'Components: main contrib' \
  'Signed-By: /usr/share/keyrings/mirror.gpg')"

echo 'deb [ arch=amd64 signed-by=/k.gpg ] http://mirror.invalid/debian bookworm main # first' \
  >"$apt/sources.list.d/a.list"
expect "$(derive)" "$(printf '%s\n' bookworm-backports.list \
  'deb [ arch=amd64 signed-by=/k.gpg ] http://mirror.invalid/debian bookworm-backports main')"

rm "$apt"/sources.list.d/*
if derive 2>/dev/null; then echo "derived an entry from no bookworm entry" >&2; exit 1; fi
echo "backports entries derived as expected"
