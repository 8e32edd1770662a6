# Shared by scripts/run and scripts/test: installs what the build needs and configures it.
# shellcheck shell=bash

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
packages=(cmake ninja-build g++ qt6-base-dev libicu-dev libuchardet-dev pkg-config clang-format locales fonts-dejavu-core
    dpkg-dev desktop-file-utils clang libclang-rt-14-dev man-db g++-mingw-w64-x86-64-posix
    lintian appstream qt6-translations-l10n bash-completion qt6-tools-dev qt6-l10n-tools
    fonts-wqy-microhei shared-mime-info weston qt6-wayland)

install_missing_packages() {
    local missing=()
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]}" >&2
        echo "install them as root: apt-get install ${missing[*]}" >&2
        exit 1
    fi
    echo "installing ${missing[*]}"
    apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# configure BUILD_DIR [CMAKE_ARGS...]
configure() {
    local dir=$1
    shift
    cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
}
