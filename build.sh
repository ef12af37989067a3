#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One entry point for people and CI:
#   ./build.sh run                          build and start the program
#   ./build.sh test [--werror] [--sanitize] build and run every test
#   ./build.sh screenshot                   remake the screenshots in docs/ from the real window
#   ./build.sh bench                        build and run the benchmarks
#   ./build.sh package [--werror]           build the Debian package and lint it
# Each command first installs whichever of the Debian/Ubuntu packages it needs
# are missing (through sudo when not root). QUORVANE_BUILD_DIR=dir builds in dir.
set -euo pipefail
cd "$(dirname "$0")"

RUN_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-svg-dev libgl-dev ffmpeg
              qt6-translations-l10n qt6-l10n-tools)
X_PACKAGES=(xvfb xdotool x11-utils openbox fonts-liberation imagemagick libxcb1-dev)
PACKAGING_PACKAGES=(dpkg-dev file lintian)
# The validators of the desktop files and the manual page, the package's test,
# and GNU parallel with an ssh server and client for the farm test.
# clang-format: the major version CMakeLists.txt's check-format insists on.
TEST_PACKAGES=("${X_PACKAGES[@]}" dbus-daemon clang-format-14 appstream desktop-file-utils groff
               man-db "${PACKAGING_PACKAGES[@]}" parallel openssh-server openssh-client)

ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" </dev/null
}

command=${1:-run}
shift || true
werror=OFF
sanitize=OFF
for option in "$@"; do
    case "$option" in
    --werror) werror=ON ;;
    --sanitize) sanitize=ON ;;
    *) echo "unknown option: $option" >&2; exit 2 ;;
    esac
done
build_dir=build
[ "$sanitize" = ON ] && build_dir=build-sanitize
# Another folder, for a second build beside the usual one.
build_dir=${QUORVANE_BUILD_DIR:-$build_dir}

configure_and_build() {
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQUORVANE_WERROR="$werror" -DQUORVANE_SANITIZE="$sanitize" >/dev/null
    cmake --build "$build_dir" --parallel "$(nproc)" "$@"
}

case "$command" in
run)
    ensure_packages "${RUN_PACKAGES[@]}"
    configure_and_build --target quorvane
    exec "$build_dir/bin/quorvane"
    ;;
test)
    ensure_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    configure_and_build
    if [ "$sanitize" = ON ]; then
        export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
        export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
        export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    fi
    ctest --test-dir "$build_dir" --output-on-failure --parallel 2
    ;;
screenshot)
    ensure_packages "${RUN_PACKAGES[@]}" "${X_PACKAGES[@]}"
    configure_and_build --target quorvane
    docs/make-screenshot.sh "$build_dir/bin/quorvane" docs/screenshot.png
    docs/make-screenshot.sh "$build_dir/bin/quorvane" docs/screenshot-running.png running
    ;;
bench)
    ensure_packages "${RUN_PACKAGES[@]}" "${X_PACKAGES[@]}"
    configure_and_build
    for benchmark in "$build_dir"/bench/bench_*; do
        if [ -f "$benchmark" ] && [ -x "$benchmark" ]; then
            "$benchmark"
        fi
    done
    ;;
package)
    [ "$sanitize" = OFF ] || { echo "a package is never built with sanitizers" >&2; exit 2; }
    ensure_packages "${RUN_PACKAGES[@]}" "${PACKAGING_PACKAGES[@]}"
    configure_and_build
    rm -f "$build_dir"/quorvane_*.deb
    cpack --config "$build_dir/CPackConfig.cmake" -B "$build_dir"
    deb=$(echo "$build_dir"/quorvane_*.deb)
    echo "lintian $deb:"
    lintian --display-info "$deb"
    ;;
*)
    echo "usage: $0 run | test [--werror] [--sanitize] | screenshot | bench | package [--werror]" >&2
    exit 2
    ;;
esac
