#!/usr/bin/env bash
# The dialog's command line, as desktop programs on Linux take theirs: no display and an
# unknown option are refused with a message and status 2; "--" ends the options.
# Usage: CommandLineTest.sh PROGRAM EXAMPLE
set -uo pipefail
program=$1
windowShows=$(cd "$(dirname "$0")/../support" && pwd)/WindowShows.sh
example=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SELVANE_HIVE_DIR=$work/hive
fail() { echo "command line test: $*" >&2; exit 1; }

# Without any display the program says so instead of aborting inside Qt.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$example" > "$work/out" 2> "$work/err"
status=$?
[ $status -eq 2 ] || fail "without a display: status $status, not 2"
grep -q '^selvane: no display' "$work/err" || fail "without a display: no message: $(cat "$work/err")"
[ ! -s "$work/out" ] || fail "without a display: something on standard output"

# An unknown option is not taken as a file name, wherever it stands before "--".
for arguments in "--title=Pick" "-x" "--title=Pick $example" "$example --verbose"; do
  # shellcheck disable=SC2086
  QT_QPA_PLATFORM=offscreen timeout 20 "$program" $arguments > "$work/out" 2> "$work/err"
  status=$?
  [ $status -eq 2 ] || fail "selvane $arguments: status $status, not 2"
  grep -q '^selvane: unknown option -' "$work/err" || fail "selvane $arguments: no message: $(cat "$work/err")"
  grep -q '^Usage: selvane' "$work/err" || fail "selvane $arguments: no usage on standard error"
  [ ! -s "$work/out" ] || fail "selvane $arguments: something on standard output"
done

# --help and --version whose text reaches nobody say why, with status 2.
for option in --help --version; do
  "$program" $option > /dev/full 2> "$work/err"
  status=$?
  [ $status -eq 2 ] || fail "selvane $option > /dev/full: status $status, not 2"
  grep -q '^selvane: cannot write the output: No space left on device' "$work/err" || fail "selvane $option > /dev/full: $(cat "$work/err")"
  "$program" $option >&- 2> "$work/err"
  status=$?
  [ $status -eq 2 ] || fail "selvane $option with standard output closed: status $status, not 2"
  grep -q '^selvane: cannot write the output: Bad file descriptor' "$work/err" || fail "selvane $option >&-: $(cat "$work/err")"
done

# After "--" a file whose name starts with "-" opens; so does a file after Qt's own options.
cp "$example" "$work/-x.xml"
cd "$work" || exit 1
for arguments in "-- -x.xml" "-style fusion -- -x.xml"; do
  # shellcheck disable=SC2086
  bash "$windowShows" "XML Dialog : -x.xml" "$program" $arguments ||
    fail "selvane $arguments: the document's window does not show"
done
echo "command line test: passed"
