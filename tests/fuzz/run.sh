#!/bin/sh
# Builds the fuzz targets with clang's libFuzzer (address and undefined
# behaviour sanitizers) into their own folder and runs them on copies of
# their committed corpora. SECONDS is the whole run's fuzzing time, shared
# evenly by the targets run (at least 2 s each); name targets to run only
# those, e.g. for a long run of one. Installs nothing; exits non-zero when a
# target crashes or cannot be built. A crash's input is left in BUILD_DIR.
#
#   tests/fuzz/run.sh [SECONDS] [BUILD_DIR] [TARGET...]   default 60 s, /tmp/quillmere-fuzz
#
# Targets, one for each reader of outside data:
#   record decode    Marbleloom 3D's pattern databases and their JPEG streams
#   image            the host's PNG and JPEG readers, masks, and the writers after them
#   settings         settings files (--settings), raw and named
#   pipl             a plug-in's PiPL and its enable expression
#   regedit          REGEDIT4 text and the registry's rewrite of a root file
#   preset_record    a settings record handed to a plug-in, through Keenwright HD's kernel
#   ui_script        the headless dialog's input script (--ui-script)
#   resources        a plug-in's resource table and what the host reads from it
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
build=${2:-/tmp/quillmere-fuzz}
[ $# -gt 2 ] && shift 2 || set --
cxx=${CXX_FUZZ:-clang++}

command -v "$cxx" >/dev/null 2>&1 || { echo "fuzz: $cxx not found" >&2; exit 2; }
mkdir -p "$build/obj"
build=$(cd "$build" && pwd)
launcher=
command -v ccache >/dev/null 2>&1 && launcher=ccache
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1

flags="-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root"

# sources TARGET: the target's own file, then what it needs of the project.
sources() {
    case $1 in
        record|decode)
            echo "tests/fuzz/marbleloom/$1_fuzz.cpp filters/marbleloom/image_container.cpp
                  filters/marbleloom/pattern_database.cpp filters/marbleloom/pattern_library.cpp
                  framework/settings/record.cpp platform/os/clock.cpp platform/os/files.cpp
                  tests/fuzz/marbleloom/no_dialogs.cpp" ;;
        image)
            echo "tests/fuzz/host/image_fuzz.cpp host/image.cpp host/image_png.cpp host/image_jpeg.cpp
                  host/filter_run.cpp host/plugin.cpp host/pipl.cpp host/descriptor.cpp
                  host/settings_file.cpp host/plugin_settings.cpp" ;;
        settings)
            echo "tests/fuzz/host/settings_fuzz.cpp host/settings_file.cpp host/plugin_settings.cpp
                  host/descriptor.cpp host/pipl.cpp" ;;
        pipl) echo "tests/fuzz/host/pipl_fuzz.cpp host/pipl.cpp" ;;
        regedit) echo "tests/fuzz/platform/regedit_fuzz.cpp platform/os/registry.cpp platform/os/regedit_text.cpp" ;;
        preset_record)
            echo "tests/fuzz/framework/preset_record_fuzz.cpp filters/keenwrighthd/hd_kernel.cpp
                  filters/keenwrighthd/hd_settings.cpp framework/settings/record.cpp
                  framework/settings/setting_table.cpp framework/settings/history.cpp
                  framework/host/render_state.cpp" ;;
        ui_script) echo "tests/fuzz/platform/ui_script_fuzz.cpp platform/ui/headless/script.cpp platform/ui/text_words.cpp" ;;
        resources)
            echo "tests/fuzz/platform/resources_fuzz.cpp platform/os/resources.cpp host/pipl.cpp
                  host/plugin_settings.cpp host/settings_file.cpp host/descriptor.cpp" ;;
        *) return 1 ;;
    esac
}
corpus_of() {
    case $1 in
        record|decode) echo "$root/tests/fuzz/marbleloom/corpus/$1" ;;
        image|settings|pipl) echo "$root/tests/fuzz/host/corpus/$1" ;;
        regedit|ui_script|resources) echo "$root/tests/fuzz/platform/corpus/$1" ;;
        preset_record) echo "$root/tests/fuzz/framework/corpus/$1" ;;
    esac
}
libs_of() {
    case $1 in
        record|decode) echo "-ljpeg" ;;
        image) echo "-lpng -ljpeg -ldl" ;;
    esac
}

targets=${*:-record decode image settings pipl regedit preset_record ui_script resources}
count=0
for target in $targets; do
    sources "$target" >/dev/null || { echo "fuzz: no target $target" >&2; exit 2; }
    count=$((count + 1))
done
each=$((seconds / count))
[ "$each" -ge 2 ] || each=2

# Each source is compiled once for all the targets that share it.
build_target() {
    objects=
    for source in $(sources "$1"); do
        object="$build/obj/$(echo "$source" | tr / _).o"
        # shellcheck disable=SC2086
        $launcher "$cxx" $flags -c "$root/$source" -o "$object" || return 1
        objects="$objects $object"
    done
    # shellcheck disable=SC2086
    "$cxx" $flags $objects $(libs_of "$1") -o "$build/$1_fuzz"
}

status=0
for target in $targets; do
    if ! build_target "$target"; then
        echo "fuzz: cannot build $target" >&2
        exit 2
    fi
    corpus="$build/corpus-$target"
    rm -rf "$corpus"
    mkdir -p "$corpus"
    cp "$(corpus_of "$target")/"* "$corpus/"
    echo "fuzz: $target for ${each}s"
    if ! (cd "$build" && "./${target}_fuzz" -max_total_time="$each" -max_len=65536 -rss_limit_mb=2048 \
            -timeout=20 -print_final_stats=1 "$corpus" >"$build/$target.log" 2>&1); then
        echo "fuzz: $target failed; the end of $build/$target.log:" >&2
        tail -n 40 "$build/$target.log" >&2
        status=1
    else
        grep -E "stat::number_of_executed_units|cov:" "$build/$target.log" | tail -n 2
    fi
done
exit $status
