#!/usr/bin/env bash
# GUI tests leave nothing behind: each test given (an executable, or executable::function) runs
# with a home and a temporary directory of its own and none of the variables that point Qt, Mesa
# or ODBC elsewhere; both directories must be empty afterwards. Catches settings, shader caches,
# a file dialog's state or a scratch directory written where a user would find them.
set -u
scratch=$(mktemp -d /tmp/pemblar-leftovers-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
status=0
for entry in "$@"; do
  exe=${entry%%::*}
  function=
  [ "$entry" != "$exe" ] && function=${entry#*::}
  home="$scratch/home" tmp="$scratch/tmp"
  rm -rf "$home" "$tmp"
  mkdir -p "$home" "$tmp"
  if ! env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_RUNTIME_DIR -u ODBCINI -u ODBCSYSINI \
      HOME="$home" TMPDIR="$tmp" "$exe" $function >"$scratch/out.txt" 2>&1; then
    echo "FAIL: $entry did not pass:" >&2; tail -n 20 "$scratch/out.txt" >&2; status=1; continue
  fi
  left=$(cd "$scratch" && find home tmp -mindepth 1 -maxdepth 3 | head -n 10)
  if [ -n "$left" ]; then
    echo "FAIL: $entry left behind:" >&2; echo "$left" >&2; status=1
  fi
done
[ "$status" -eq 0 ] && echo "PASS: nothing left behind by $#"
exit "$status"
