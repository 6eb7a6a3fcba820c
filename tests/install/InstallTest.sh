#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs from there:
# the command-line tool on an installed example, a host program built against the
# installed library through pkg-config, and the dialog until its window shows. With
# --package the build's Debian package is made and its contents and dependencies checked.
# With --sanitized the build carries the sanitizers' runtime, which a plain host program
# cannot link, so that step is left out.
# Usage: InstallTest.sh BUILD_DIR VERSION [--package | --sanitized]
set -euo pipefail
windowShows=$(cd "$(dirname "$0")/../support" && pwd)/WindowShows.sh
build=$1
version=$2
mode=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log"
for file in bin/selvane bin/selvane-value include/selvane_value.h share/applications/selvane.desktop \
            share/icons/hicolor/scalable/apps/selvane.svg share/selvane/Projects/plant.xml \
            share/selvane/Selvane.qhc share/selvane/Selvane.qch; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
pc=$(find "$prefix" -name selvane_value.pc)
[ -n "$pc" ] || fail "selvane_value.pc is not installed"

# Settings of the runs below stay in the test's folder.
export SELVANE_HIVE_DIR=$work/hive XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data

[ "$("$prefix/bin/selvane-value" --version)" = "selvane-value $version" ] || fail "selvane-value --version"
[ "$("$prefix/bin/selvane" --version)" = "selvane $version" ] || fail "selvane --version"
"$prefix/bin/selvane" --help | grep -q '^Usage: selvane \[FILE\]' || fail "selvane --help"
"$prefix/bin/selvane-value" --help | grep -q '^Usage: selvane-value' || fail "selvane-value --help"
example=$prefix/share/selvane/Projects/plant.xml
"$prefix/bin/selvane-value" --list "$example" | grep -q '^Plant\.Line1\.Oven\.setpoint=' || fail "selvane-value --list"
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$prefix/share/applications/selvane.desktop" || fail "the desktop entry is not valid"
fi

# A host program, built against the installed library alone.
cat > "$work/host.c" <<'HOST'
#include <stdio.h>
#include <stdlib.h>
#include <selvane_value.h>

static const char16_t* Wide(const char* text)
{
    size_t length = 0;
    while (text[length])
        ++length;
    char16_t* wide = calloc(length + 1, sizeof(char16_t));
    for (size_t i = 0; i < length; ++i)
        wide[i] = (unsigned char)text[i];
    return wide;
}

int main(int argc, char** argv)
{
    (void)argc;
    char16_t value[256];
    size_t needed = 0;
    if (!OpenXMLFile(Wide(argv[1])) || !ReadXMLValue(Wide(argv[2]), value, 256, &needed) || needed > 256)
        return 1;
    for (size_t i = 0; value[i]; ++i)
        putchar(value[i] < 128 ? (int)value[i] : '?');
    putchar('\n');
    CloseXMLFile(Wide(argv[1]));
    return 0;
}
HOST
if [ "$mode" != --sanitized ] && command -v cc > /dev/null && command -v pkg-config > /dev/null; then
  flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs selvane_value)
  # shellcheck disable=SC2086
  cc -std=c11 -o "$work/host" "$work/host.c" $flags || fail "a host program does not build against the library"
  expected=$("$prefix/bin/selvane-value" "$example" Plant.Line1.Oven.setpoint)
  got=$(LD_LIBRARY_PATH=$(dirname "$(dirname "$pc")") "$work/host" "$example" Plant.Line1.Oven.setpoint) ||
    fail "the host program cannot read a value"
  [ "$got" = "$expected" ] || fail "the host program read \"$got\", the tool \"$expected\""
fi

# The dialog on the installed example: its window, titled after the document, shows.
bash "$windowShows" "XML Dialog : $example" "$prefix/bin/selvane" "$example" ||
  fail "the installed dialog shows no window"

if [ "$mode" = --package ] && command -v dpkg-shlibdeps > /dev/null; then
  (cd "$build" && cpack -G DEB -B "$work/package" > "$work/cpack.log") || { cat "$work/cpack.log" >&2; fail "cpack"; }
  deb=$(find "$work/package" -maxdepth 1 -name 'selvane_*.deb')
  [ -n "$deb" ] || fail "no Debian package"
  contents=$(dpkg-deb -c "$deb")
  for file in ./usr/bin/selvane ./usr/bin/selvane-value ./usr/share/selvane/Selvane.qhc ./usr/share/applications/selvane.desktop; do
    grep -q " $file\$" <<< "$contents" || fail "the package lacks $file"
  done
  depends=$(dpkg-deb -f "$deb" Depends)
  for library in libqt6widgets6 libqt6help6 libc6; do
    grep -q "$library" <<< "$depends" || fail "the package does not depend on $library: $depends"
  done
fi
echo "install test: passed"
