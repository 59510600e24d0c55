#!/bin/sh
# Builds the fuzz targets with clang's libFuzzer (address and undefined
# behaviour sanitizers) into their own folder and runs each for a bounded
# time on a copy of its committed corpus. Installs nothing; exits non-zero
# when a target crashes or cannot be built.
#
#   tests/fuzz/run.sh [SECONDS] [BUILD_DIR]      default 60 s, /tmp/quillmere-fuzz
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
build=${2:-/tmp/quillmere-fuzz}
cxx=${CXX_FUZZ:-clang++}

command -v "$cxx" >/dev/null 2>&1 || { echo "fuzz: $cxx not found" >&2; exit 2; }
mkdir -p "$build"
build=$(cd "$build" && pwd)

flags="-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root"
# What the pattern reader needs, without the rest of the framework.
common="$root/filters/marbleloom/image_container.cpp
        $root/filters/marbleloom/pattern_database.cpp
        $root/filters/marbleloom/pattern_library.cpp
        $root/framework/settings/record.cpp
        $root/platform/os/clock.cpp
        $root/platform/os/files.cpp
        $root/tests/fuzz/marbleloom/no_dialogs.cpp"

status=0
for target in record decode; do
    exe="$build/${target}_fuzz"
    # shellcheck disable=SC2086
    if ! "$cxx" $flags "$root/tests/fuzz/marbleloom/${target}_fuzz.cpp" $common -ljpeg -o "$exe"; then
        echo "fuzz: cannot build $target" >&2
        exit 2
    fi
    corpus="$build/corpus-$target"
    rm -rf "$corpus"
    mkdir -p "$corpus"
    cp "$root/tests/fuzz/marbleloom/corpus/$target/"* "$corpus/"
    echo "fuzz: $target for ${seconds}s"
    if ! (cd "$build" && "$exe" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
            -timeout=20 -print_final_stats=1 "$corpus" >"$build/$target.log" 2>&1); then
        echo "fuzz: $target failed; the end of $build/$target.log:" >&2
        tail -n 40 "$build/$target.log" >&2
        status=1
    else
        grep -E "stat::number_of_executed_units|cov:" "$build/$target.log" | tail -n 2
    fi
done
exit $status
