#!/bin/sh
# Builds the small Windows programs that the version-information tests read, with the mingw-w64
# binutils (no C compiler needed; Debian package binutils-mingw-w64-x86-64): a program with a version resource
# (version.exe), one whose resource lacks the "FileVersion" string (nofilever.exe) and one
# without any resource (plain.exe). Run it in this folder; the outputs are checked in.
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
printf '\t.text\n\t.globl start\nstart:\n\tret\n' > "$tmp/start.s"
x86_64-w64-mingw32-as -o "$tmp/start.o" "$tmp/start.s"
link() { x86_64-w64-mingw32-ld -s --entry=start --no-insert-timestamp -o "$1" "$tmp/start.o" $2; }
for rc in version nofilever; do
    x86_64-w64-mingw32-windres --preprocessor=cat -O coff -i "$rc.rc" -o "$tmp/$rc.res.o"
    link "$rc.exe" "$tmp/$rc.res.o"
done
link plain.exe ""
