#!/usr/bin/env bash
# Checks that `cmake --install` and the Debian package put the programs, the desktop entry,
# the AppStream metainfo, the type of list files, the manual pages and listsort's bash
# completion in place, that the installed programs run and the completion completes, that
# desktop-file-validate, lintian and appstreamcli accept them, and that lintian finds no
# gap in the hardening of the programs.
# Usage: installcheck.sh BUILD_DIR
set -euo pipefail

build=$1
# A Debug build, such as the sanitizers', is not fortified: its hardening is not checked.
hardened=1
grep -qx 'CMAKE_BUILD_TYPE:STRING=Debug' "$build/CMakeCache.txt" && hardened=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
entry=share/applications/io.github.zarno.FileSorter.desktop
metainfo=share/metainfo/io.github.zarno.FileSorter.metainfo.xml
mimetype=share/mime/packages/io.github.zarno.FileSorter.xml
completion=share/bash-completion/completions/listsort
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# completions ROOT WORD...: what the installed completion offers for the last WORD of the
# command line "listsort WORD...", one per line, sorted.
completions() {
    local root=$1
    shift
    (
        cd "$work/files"
        export PATH="$root/bin:$PATH"
        source /usr/share/bash-completion/bash_completion
        source "$root/$completion"
        COMP_WORDS=(listsort "$@")
        COMP_CWORD=$#
        COMP_LINE="${COMP_WORDS[*]}"
        COMP_POINT=${#COMP_LINE}
        _listsort listsort "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}" 2>/dev/null
        printf '%s\n' "${COMPREPLY[@]}" | sort
    )
}

# check_completion ROOT: the completion offers options, encodings that listsort takes, folders
# for -T and files for the rest.
check_completion() {
    local root=$1
    mkdir -p "$work/files/folder"
    touch "$work/files/fruit.lst"
    [ "$(completions "$root" --enc)" = "--encoding=" ] || fail "--enc does not complete to --encoding="
    [ "$(completions "$root" --encoding utf-16)" = $'utf-16be\nutf-16le' ] ||
        fail "--encoding utf-16 does not complete to utf-16be and utf-16le"
    local name
    for name in $(completions "$root" --input-encoding ''); do
        "$root/bin/listsort" --encoding "$name" </dev/null >/dev/null ||
            fail "the completion offers --encoding $name, which listsort refuses"
    done
    [ "$(completions "$root" -T '')" = "folder" ] || fail "-T does not complete to folders only"
    [ "$(completions "$root" fr)" = "fruit.lst" ] || fail "a FILE does not complete to a file name"
}

# check_mimetype ROOT: shared-mime-info, given the installed type beside its own, takes a
# .lst file for plain text.
check_mimetype() {
    local root=$1 database=$work/mime
    rm -rf "$database"
    mkdir -p "$database/packages"
    cp /usr/share/mime/packages/freedesktop.org.xml "$root/$mimetype" "$database/packages/"
    local said
    said=$(update-mime-database "$database" 2>&1) || fail "update-mime-database refuses $root/$mimetype: $said"
    grep -q ':text/plain:\*\.lst$' "$database/globs2" || fail "a .lst file is not taken for plain text"
}

# check_hardening ROOT: both programs are hardened as Debian's packages are: relocations
# read-only and bound at start, the stack protector, and fortified functions.
check_hardening() {
    local root=$1 program
    for program in file-sorter listsort; do
        readelf -d "$root/bin/$program" | grep 'BIND_NOW' >/dev/null || fail "$program is not bound at start"
        readelf -lW "$root/bin/$program" | grep 'GNU_RELRO' >/dev/null || fail "$program has no RELRO"
        nm -D "$root/bin/$program" | grep ' U __stack_chk_fail' >/dev/null || fail "$program has no stack protector"
        nm -D "$root/bin/$program" | grep -E ' U __(mem|str|[a-z]*printf|read)[a-z]*_chk' >/dev/null ||
            fail "$program calls no fortified function"
    done
}

# check_tree ROOT: the installed files under ROOT are there and work.
check_tree() {
    local root=$1
    for file in bin/file-sorter bin/listsort; do
        [ -x "$root/$file" ] || fail "$root/$file is missing or not executable"
    done
    [ -f "$root/$entry" ] || fail "$root/$entry is missing"
    # Open With and a double click hand the program the files chosen.
    grep -qx 'Exec=file-sorter %F' "$root/$entry" || fail "the desktop entry does not start file-sorter with files"
    grep -qx 'MimeType=text/plain;' "$root/$entry" || fail "the desktop entry does not open plain text"
    desktop-file-validate "$root/$entry" || fail "the desktop entry is not valid"
    check_mimetype "$root"
    [ "$hardened" -eq 0 ] || check_hardening "$root"
    appstreamcli validate --no-net "$root/$metainfo" >/dev/null ||
        fail "$root/$metainfo is not valid: $(appstreamcli validate --no-net "$root/$metainfo")"
    [ "$("$root/bin/listsort" --version)" = "listsort 1.00" ] || fail "the installed listsort does not run"
    for program in listsort file-sorter; do
        [ "$(MANPATH="$root/share/man" man -w $program)" = "$root/share/man/man1/$program.1.gz" ] ||
            fail "man does not find the manual page of $program under $root"
    done
    check_completion "$root"
    printf 'b\r\na\r\n' | "$root/bin/listsort" | cmp -s - <(printf 'a\r\nb\r\n') ||
        fail "the installed listsort does not sort"
    [ "$(QT_QPA_PLATFORM=offscreen "$root/bin/file-sorter" --version)" = "file-sorter 1.00" ] ||
        fail "the installed file-sorter does not answer --version"
    # The window runs until it is closed, so a program still running after a while started well.
    local status=0
    QT_QPA_PLATFORM=offscreen timeout 2 "$root/bin/file-sorter" 2>/dev/null || status=$?
    [ "$status" -eq 124 ] || fail "the installed file-sorter does not start (exit status $status)"
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
check_tree "$work/prefix"

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null)
package=$(ls "$work"/package/file-sorter_*.deb)
for dependency in libqt6widgets6 qt6-translations-l10n; do
    dpkg-deb -f "$package" Depends | grep -q "$dependency" ||
        fail "the package does not depend on $dependency"
done
dpkg-deb -f "$package" Recommends | grep -q qt6-wayland || fail "the package does not recommend qt6-wayland"
tags=$(lintian -I --fail-on error,warning "$package" 2>/dev/null) ||
    fail "lintian finds fault with the package: $tags"
if [ "$hardened" -eq 1 ] && grep hardening <<<"$tags"; then
    fail "lintian finds a gap in the hardening of the programs"
fi
dpkg-deb -x "$package" "$work/unpacked"
check_tree "$work/unpacked/usr"
echo "install and package: PASS"
