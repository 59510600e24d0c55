#!/usr/bin/env bash
# Each filter run by quillmere beside the nearest commands of G'MIC, GEGL and
# libvips, on a 24-megapixel photograph made from the bundled sample: the
# project's command and its peers run in turn, RUNS times each, and a table of
# medians and ratios is printed.
#   bash bench/peers.sh [BUILD_DIR] [RUNS] [JOBS...]   (after a build; installs gmic, gegl, libvips-tools)
# JOBS: keenwright keenwrighthd keenwrighthd16 plaitwork lumivex marbleloom (default all).
# PEERS_SIZE=WxH makes a smaller photograph for a quick try (default 6000x4000).
# The peers do similar work, not the same: the table says how far apart the
# costs are, not which output is better.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
runs="${2:-3}"
shift $(($# < 2 ? $# : 2))
all=(keenwright keenwrighthd keenwrighthd16 plaitwork lumivex marbleloom)
jobs=("$@")
[ ${#jobs[@]} -gt 0 ] || jobs=("${all[@]}")
for j in "${jobs[@]}"; do
    case " ${all[*]} " in *" $j "*) ;; *) echo "peers.sh: unknown job '$j' (one of: ${all[*]})" >&2; exit 2 ;; esac
done
size="${PEERS_SIZE:-6000x4000}"
[[ "$size" =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "peers.sh: PEERS_SIZE must be WxH, not '$size'" >&2; exit 2; }
width=${BASH_REMATCH[1]} height=${BASH_REMATCH[2]}
[ -x "$build/quillmere" ] || { echo "peers.sh: no $build/quillmere; build first" >&2; exit 2; }

missing=()
command -v gmic >/dev/null || missing+=(gmic)
command -v gegl >/dev/null || missing+=(gegl)
command -v vips >/dev/null || missing+=(libvips-tools)
if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QUILLMERE_REGISTRY="$work/registry" QUILLMERE_SHARED_DATA="$work/shared"
mkdir -p "$QUILLMERE_REGISTRY" "$QUILLMERE_SHARED_DATA"

# The sample is 1600 x 900: scale it up (to the next hundredth, 4.45 for
# 6000 x 4000) until it covers the size, then crop.
scale=$(awk -v w="$width" -v h="$height" 'BEGIN { s = w / 1600; if (h / 900 > s) s = h / 900; s = int(s * 100 - 1e-9) + 1; print s / 100 }')
vips resize "$here/samples/seeding.jpg" "$work/big.v" "$scale"
vips crop "$work/big.v" "$work/photo.png" 0 0 "$width" "$height"
rm -f "$work/big.v"
# 16-bit: 0..255 to 0..65535; rgb16 so that pngsave keeps 16 bits.
vips linear "$work/photo.png" "$work/wide.v" 257 0
vips cast "$work/wide.v" "$work/ushort.v" ushort
vips copy "$work/ushort.v" "$work/photo16.png" --interpretation rgb16
rm -f "$work/wide.v" "$work/ushort.v"
in="$work/photo.png" in16="$work/photo16.png" out="$work/out"

# Earlier-variant plug-ins open a window when there is a display; without one
# they run the preset as given.
quillmere() { env -u DISPLAY "$build/quillmere" apply "$1" "$2" -o "$out.png" --plugins "$build/plugins" -q --preset "$3"; }

# Anisotropic smoothing (G'MIC's default strength) and a light unsharp mask:
# what Keenwright does, denoise and sharpen.
gmic_smooth_sharpen() { gmic -v - "$in" smooth 40,0.7,0.3,0.6,1.1 unsharp 1.5,1,0 c 0,255 o "$out.png"; }
vips_sharpen() { vips sharpen "$in" "$out.png"; }
# GIMP's default lift of shadows and pull of highlights, then an unsharp mask;
# written at the input's depth, without the alpha GEGL adds.
gegl_shadows_unsharp() {  # INPUT DEPTH
    gegl "$1" -- gegl:shadows-highlights shadows=50 highlights=-50 gegl:unsharp-mask std-dev=2 scale=0.5 \
        gegl:convert-format "format=R'G'B' u$2" gegl:png-save path="$out.png" bitdepth="$2"
}
# Strips about 2.5 % of the long side wide.
gmic_weave() { gmic -v - "$in" weave 40,65,40,0.5,0,0,0,0,0 c 0,255 o "$out.png"; }
# Each pixel moved by up to 1 % of the width along both axes, by its
# brightness: a coordinate image plus the shift, resampled by mapim.
vips_mapim() {
    local k b
    k=$(awk -v w="$width" 'BEGIN { print w * 0.01 / 128 }')
    b=$(awk -v k="$k" 'BEGIN { print -128 * k }')
    vips colourspace "$in" "$out-lum.v" b-w &&
        vips linear -- "$out-lum.v" "$out-shift.v" "$k $k" "$b $b" &&
        vips xyz "$out-xy.v" "$width" "$height" &&
        vips add "$out-xy.v" "$out-shift.v" "$out-index.v" &&
        vips mapim "$in" "$out.png" "$out-index.v" --interpolate bilinear --extend copy
}
# Pixels moved along the gradient of the blurred brightness; the factor keeps
# the shift about the same share of the image at any size.
gmic_gradient_warp() {
    gmic -v - "$in" +luminance b. 0.5% g. xy a[-2,-1] c '*.' '{max(w,h)^2/8e5}' warp[0] [1],1,1,1 rm. c 0,255 o "$out.png"
}
# The image as its own height map, lit from GEGL's and G'MIC's default angles.
gegl_bump_map() {
    gegl "$in" -- gegl:bump-map aux=[ gegl:load path="$in" ] \
        gegl:convert-format "format=R'G'B' u8" gegl:png-save path="$out.png" bitdepth=8
}
# Arguments given in full: its defaults, the last 0 taking the bumps from the image.
gmic_light_relief() { gmic -v - "$in" light_relief 0.3,0.5,0.2,0,0.2,0.5,0.5,1,1,0 c 0,255 o "$out.png"; }

seconds() {  # the command's wall time in seconds, or "failed" when it fails or writes nothing
    local start end
    rm -f "$out"*
    start=$(date +%s.%N)
    if ! "$@" >/dev/null 2>"$work/stderr" || [ ! -s "$out.png" ]; then
        printf '  %s failed: %s\n' "$1" "$(grep -v -i warning "$work/stderr" | tail -n 1)" >&2
        echo failed
        return
    fi
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
median() {  # of the numbers on stdin; "failed" when any run failed
    sort -g | awk '$1 == "failed" { bad = 1 } { a[NR] = $1 }
        END { if (bad || !NR) print "failed"; else printf "%.2f\n", (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}

rows=()
bench() {  # JOB "PROJECT COMMAND" PEER-NAME "PEER COMMAND" ...; commands are words split on spaces
    local job=$1 project=$2 i p
    shift 2
    local -a names=() commands=() times=()
    while [ $# -gt 0 ]; do names+=("$1") commands+=("$2"); shift 2; done
    local n=${#names[@]}
    printf '%s ...\n' "$job" >&2
    for ((i = 0; i < runs; ++i)); do
        times[0]+="$(eval "seconds $project") "
        for ((p = 0; p < n; ++p)); do times[p + 1]+="$(eval "seconds ${commands[p]}") "; done
    done
    local mq mp ratio
    mq=$(printf '%s\n' ${times[0]} | median)
    for ((p = 0; p < n; ++p)); do
        mp=$(printf '%s\n' ${times[p + 1]} | median)
        ratio=failed
        [ "$mq" = failed ] || [ "$mp" = failed ] || ratio=$(awk -v a="$mq" -v b="$mp" 'BEGIN { printf "%.2f", a / b }')
        rows+=("$(printf '%-15s %-10s %10s  %-38s %10s  %8s' "$job" "$size" "$mq" "${names[p]}" "$mp" "$ratio")")
    done
}

printf 'load at start: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
for job in "${jobs[@]}"; do
    case $job in
    keenwright)
        bench keenwright 'quillmere Keenwright "$in" Default' \
            "gmic smooth + unsharp" gmic_smooth_sharpen \
            "vips sharpen" vips_sharpen ;;
    keenwrighthd)
        bench keenwrighthd 'quillmere "Keenwright HD" "$in" Default' \
            "gegl shadows-highlights + unsharp-mask" 'gegl_shadows_unsharp "$in" 8' ;;
    keenwrighthd16)
        bench keenwrighthd16 'quillmere "Keenwright HD" "$in16" Default' \
            "gegl shadows-highlights + unsharp-mask" 'gegl_shadows_unsharp "$in16" 16' ;;
    plaitwork)
        bench plaitwork 'quillmere "Plaitwork 2000" "$in" Drapery' \
            "gmic weave" gmic_weave ;;
    lumivex)
        bench lumivex 'quillmere Lumivex "$in" Beetle' \
            "vips brightness index + mapim" vips_mapim \
            "gmic gradient + warp" gmic_gradient_warp ;;
    marbleloom)
        bench marbleloom 'quillmere "Marbleloom 3D" "$in" Preset1' \
            "gegl bump-map (itself as aux)" gegl_bump_map \
            "gmic light_relief" gmic_light_relief ;;
    esac
done

printf '\n%-15s %-10s %10s  %-38s %10s  %8s\n' job size "quillmere" peer "peer" "q / peer"
printf '%s\n' "${rows[@]}"
printf '\nmedian of %d run(s) each, in seconds: whole-process wall times, reading and writing the PNG files included\n' "$runs"
printf 'load at end: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
