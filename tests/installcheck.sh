#!/usr/bin/env bash
# Checks that `cmake --install` and the Debian package put the program, listsort and the
# desktop entry and listsort's manual page in place, and that the installed programs run.
# Usage: installcheck.sh BUILD_DIR
set -euo pipefail

build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
entry=share/applications/io.github.zarno.FileSorter.desktop
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# check_tree ROOT: the installed files under ROOT are there and work.
check_tree() {
    local root=$1
    for file in bin/file-sorter bin/listsort; do
        [ -x "$root/$file" ] || fail "$root/$file is missing or not executable"
    done
    [ -f "$root/$entry" ] || fail "$root/$entry is missing"
    grep -qx 'Exec=file-sorter' "$root/$entry" || fail "the desktop entry does not start file-sorter"
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$root/$entry" || fail "the desktop entry is not valid"
    fi
    [ "$("$root/bin/listsort" --version)" = "listsort 1.00" ] || fail "the installed listsort does not run"
    [ "$(MANPATH="$root/share/man" man -w listsort)" = "$root/share/man/man1/listsort.1" ] ||
        fail "man does not find the manual page of listsort under $root"
    printf 'b\r\na\r\n' | "$root/bin/listsort" | cmp -s - <(printf 'a\r\nb\r\n') ||
        fail "the installed listsort does not sort"
    # The window runs until it is closed, so a program still running after a while started well.
    local status=0
    QT_QPA_PLATFORM=offscreen timeout 2 "$root/bin/file-sorter" 2>/dev/null || status=$?
    [ "$status" -eq 124 ] || fail "the installed file-sorter does not start (exit status $status)"
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
check_tree "$work/prefix"

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null)
package=$(ls "$work"/package/file-sorter_*.deb)
dpkg-deb -f "$package" Depends | grep -q libqt6widgets6 || fail "the package does not depend on Qt Widgets"
dpkg-deb -x "$package" "$work/unpacked"
check_tree "$work/unpacked/usr"
echo "install and package: PASS"
