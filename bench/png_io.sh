#!/usr/bin/env bash
# PNG reading and writing of quillmere beside libvips' `vips copy`, on a
# 24-megapixel photograph made from the bundled sample: the two commands run
# in turn, RUNS times each, and the medians and their ratio are printed.
#   bash bench/png_io.sh [BUILD_DIR] [RUNS]   (after a build; installs libvips-tools)
# quillmere runs the test plug-in that inverts the picture: decode, one pass
# over the pixels, encode, as a pass-through would.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
runs="${2:-5}"

if ! command -v vips >/dev/null; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends libvips-tools
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QUILLMERE_REGISTRY="$work/registry"
# 1600 x 900 to 6000 x 3375 ...; cropped to 6000 x 4000 from a taller resize.
vips resize "$here/samples/seeding.jpg" "$work/big.v" 4.45 >/dev/null
vips crop "$work/big.v" "$work/photo.png" 0 0 6000 4000
rm -f "$work/big.v"

run=(apply "Protocol Test" --plugins "$build/tests/plugins" "$work/photo.png" -o "$work/q.png")
quillmere=("$build/quillmere" -q "${run[@]}")
vipscopy=(vips copy "$work/photo.png" "$work/v.png")

seconds() {  # the command's wall time in seconds
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

q=() v=()
for ((i = 0; i < runs; ++i)); do
    q+=("$(seconds "${quillmere[@]}")")
    v+=("$(seconds "${vipscopy[@]}")")
done
mq=$(printf '%s\n' "${q[@]}" | median)
mv=$(printf '%s\n' "${v[@]}" | median)
printf 'load: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
printf 'input: 6000 x 4000 PNG, %d bytes\n' "$(stat -c %s "$work/photo.png")"
printf 'quillmere (Protocol Test): median %.2f s, output %d bytes\n' "$mq" "$(stat -c %s "$work/q.png")"
printf 'vips copy:                median %.2f s, output %d bytes\n' "$mv" "$(stat -c %s "$work/v.png")"
printf 'ratio quillmere / vips: %.2f\n' "$(awk -v a="$mq" -v b="$mv" 'BEGIN { print a / b }')"
# Where quillmere's time goes: reading, the plug-in with the host's buffers, writing.
"$build/quillmere" -v "${run[@]}" 2>&1 | sed -n 's/^quillmere: //p' | grep -E 'read in|filtered in|written in'
