#!/usr/bin/env bash
# Set-up, build and the two main jobs, on a fresh Debian 12 machine or an
# existing checkout:
#   bash scripts/dev.sh demo [DIR]   installs what is missing, builds, runs `quillmere demo`
#   bash scripts/dev.sh test         installs what is missing, builds, runs every test
#   bash scripts/dev.sh build        installs what is missing and builds
# BUILD_DIR (default build/) chooses the build tree; CI=true makes warnings errors.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$here/build}"
job="${1:-build}"
shift || true

packages=(cmake g++ ninja-build pkg-config libjpeg62-turbo-dev libpng-dev
          libgtest-dev libgmock-dev libbenchmark-dev
          libx11-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core xvfb xdotool
          clang libclang-rt-14-dev ccache fp-utils libchm-bin)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build DIR [cmake options...]; TARGET chooses what to build
# (default: everything).
configure_and_build() {
    local dir="$1"
    shift
    local werror=OFF
    [ "${CI:-}" = "true" ] && werror=ON
    # Compiler output is cached between runs and build trees (ccache).
    cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
          -DQUILLMERE_WERROR="$werror" "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc)" ${TARGET:+--target "$TARGET"}
}

# Paths inside the checkout are hashed relative to it, so clones and build
# trees share cached objects.
export CCACHE_BASEDIR="$here" CCACHE_NOHASHDIR=1

install_missing
# The demo needs only the host and the plug-ins.
[ "$job" = "demo" ] && TARGET=quillmere_demo
configure_and_build "$build"
TARGET=

case "$job" in
    build) ;;
    demo) "$build/quillmere" demo "${1:-$here/demo-output}" ;;
    test)
        ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
        # The same tests once more with address and undefined-behaviour checks.
        configure_and_build "$build-sanitize" -DQUILLMERE_SANITIZE=ON -DQUILLMERE_BENCH=OFF
        LSAN_OPTIONS="suppressions=$here/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}" \
            ctest --test-dir "$build-sanitize" --output-on-failure --parallel "$(nproc)"
        # The readers of outside data under libFuzzer, for a bounded time.
        sh "$here/tests/fuzz/run.sh" "${FUZZ_SECONDS:-30}" "$build-fuzz"
        ;;
    *) echo "unknown job $job (demo, test or build)" >&2; exit 2 ;;
esac
