#!/usr/bin/env bash
# Compiles every program source for Windows with MinGW-w64, syntax only, against this
# machine's Qt, ICU and uchardet headers, so that the portable side of the platform pair
# keeps compiling. Nothing is linked: there are no Windows builds of Qt and ICU here.
# Usage: scripts/windowscheck.sh BUILD_DIR (a configured build, for its generated headers)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
compiler=x86_64-w64-mingw32-g++-posix
qt=$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)

# Only the libraries' own folders: the rest of /usr/include is Linux's C library.
headers=$(mktemp -d)
trap 'rm -rf "$headers"' EXIT
ln -s /usr/include/unicode "$headers/unicode"
ln -s /usr/include/uchardet/uchardet.h "$headers/uchardet.h"

mapfile -t sources < <(git -C "$root" ls-files 'itemlist/*.cpp' 'filecommands/*.cpp' \
    'mainwindow/*.cpp' 'cli/*.cpp')
flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Werror -DQT_NO_VERSION_TAGGING
    -I"$root/itemlist" -I"$root/filecommands" -I"$root/mainwindow" -I"$root/cli"
    -I"$build/generated" -isystem "$qt" -isystem "$qt/QtCore" -isystem "$qt/QtGui"
    -isystem "$qt/QtWidgets" -isystem "$headers")
printf '%s\n' "${sources[@]}" | (cd "$root" && xargs -P "$(nproc)" -I{} \
    sh -c 'file=$1; shift; "$@" "$file" || { echo "FAIL: $file" >&2; exit 255; }' compile {} \
    "$compiler" "${flags[@]}")
echo "Windows (MinGW-w64, syntax only): ${#sources[@]} sources compile"
