#!/usr/bin/env bash
# Sharpness of pictora's main pictures and thumbnails against vipsthumbnail's, made in the same
# run from the same pictures at the same quality and sampling (4:4:4, which both can write), and
# the ringing each leaves at hard edges; then the time per picture of a 12-megapixel HEIC beside a
# 12-megapixel JPEG, for pictora and the peer.
#
#   bench/sharpness.sh [--pictora PATH] [--corpus DIR] [-n PICTURES] [-r REPETITIONS] [--no-heic]
#
# Sharpness is the mean absolute Laplacian (4-neighbour) of the luma; ringing is how far the luma
# overshoots the two levels (64 and 192) of a turned checkerboard chart. The HEIC timing makes the
# first -n pictures (4000 × 3000) into HEIC (quality 90) and times a make of them against a make of
# the same JPEGs, -r times each, alternating; the peer converts both too. Results go to
# bench/results/ (git-ignored).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
pictora=${PICTORA:-$root/build/app/pictora}
corpus=$here/corpus
count=8
reps=3
heic=1

while [ $# -gt 0 ]; do
  case $1 in
    --pictora) pictora=$2; shift 2 ;;
    --corpus) corpus=$2; shift 2 ;;
    -n) count=$2; shift 2 ;;
    -r) reps=$2; shift 2 ;;
    --no-heic) heic=0; shift ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    *) echo "sharpness.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

mapfile -t pictures < <(find "$corpus" -maxdepth 1 -name '*.jpg' | sort | head -n "$count")
if [ "${#pictures[@]}" -eq 0 ]; then
  echo "sharpness.sh: no pictures in $corpus; run bench/make-corpus.sh first" >&2
  exit 1
fi
for tool in vips vipsthumbnail; do
  command -v "$tool" >/dev/null || { echo "sharpness.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

stamp=$(date +%Y%m%d-%H%M%S)
results=$here/results
work=$results/sharp-$stamp
report=$results/sharpness-$stamp.txt
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
exec > >(tee "$report") 2>&1

printf '3 3\n0 1 0\n1 -4 1\n0 1 0\n' >"$work/laplacian.mat"

# The luma of a picture as a one-band float image.
luma() { vips colourspace "$1" "$2.g.v" b-w && vips extract_band "$2.g.v" "$2" 0 && rm -f "$2.g.v"; }
# Mean absolute Laplacian of a picture's luma.
sharpness() {
  local t=$work/m
  luma "$1" "$t.l.v"
  vips conv "$t.l.v" "$t.c.v" "$work/laplacian.mat" --precision float
  vips abs "$t.c.v" "$t.a.v"
  vips avg "$t.a.v"
  rm -f "$t".*.v
}
# How far the luma goes beyond [64, 192]: the larger of the two overshoots, in levels.
overshoot() {
  local t=$work/o
  luma "$1" "$t.l.v"
  local lo hi
  lo=$(vips min "$t.l.v")
  hi=$(vips max "$t.l.v")
  rm -f "$t".*.v
  awk -v lo="$lo" -v hi="$hi" 'BEGIN { a = 64 - lo; b = hi - 192; m = a > b ? a : b; printf "%d", m < 0 ? 0 : m }'
}
mean() { awk '{ s += $1 } END { printf "%.3f", s / NR }'; }

# A chart of hard edges: a checkerboard of 64 and 192 with 125-pixel squares turned by 5°, 4000 × 3000.
chart=$work/chart.jpg
vips xyz "$work/xy.v" 4000 3000
printf '2 2\n0.996195 0.087156\n-0.087156 0.996195\n' >"$work/turn.mat"
vips recomb "$work/xy.v" "$work/uv.v" "$work/turn.mat"
vips linear "$work/uv.v" "$work/s.v" 0.008 1000
vips round "$work/s.v" "$work/f.v" floor
vips bandmean "$work/f.v" "$work/m.v"
vips remainder_const "$work/m.v" "$work/r.v" 1
vips linear "$work/r.v" "$work/c.v" 256 64 --uchar
vips copy "$work/c.v" "$chart[Q=95,subsample-mode=off,strip]"
rm -f "$work"/*.v

sources=("${pictures[@]}" "$chart")

# pictora: a project of the sources, made at 4:4:4 and quality 90.
make_pictora() {
  local out=$1
  shift
  "$pictora" --new "$work/p.pxa" "$@" --title sharpness --out "$out" --yes --quiet
  "$pictora" --make "$work/p.pxa" --set cbJPEGc=4:4:4 --set qJPEG=90 --yes --no-html-folder \
    --author bench@example.org --quiet >/dev/null
}
peer_opts="[Q=90,subsample-mode=off,strip]"
make_peer() {
  local out=$1
  shift
  mkdir -p "$out/main" "$out/thumb"
  vipsthumbnail -s 640x640 -o "$out/main/%s.jpg$peer_opts" "$@"
  vipsthumbnail -s 160x160 -o "$out/thumb/%s.jpg$peer_opts" "$out"/main/*.jpg
}

echo "pictora: $pictora"
echo "peer: vipsthumbnail $(vips --version), -s 640x640 then -s 160x160 from its main pictures, $peer_opts"
echo "pictures: ${#pictures[@]} of $corpus and the chart"
make_pictora "$work/ours" "${sources[@]}"
make_peer "$work/peer" "${sources[@]}"

printf '\n%-28s %12s %12s %12s %12s\n' picture "main ours" "main peer" "thumb ours" "thumb peer"
i=0
: >"$work/table"
for source in "${sources[@]}"; do
  name=$(basename "$source" .jpg)
  number=$(printf '%04d' "$i")
  om=$(sharpness "$work/ours/images/img$number.jpg")
  ot=$(sharpness "$work/ours/thumb/img${number}_t.jpg")
  pm=$(sharpness "$work/peer/main/$name.jpg")
  pt=$(sharpness "$work/peer/thumb/$name.jpg")
  printf '%-28s %12.3f %12.3f %12.3f %12.3f\n' "$name" "$om" "$pm" "$ot" "$pt"
  [ "$source" = "$chart" ] || echo "$om $pm $ot $pt" >>"$work/table"
  i=$((i + 1))
done
read -r mom mpm mot mpt < <(awk '{ a += $1; b += $2; c += $3; d += $4 } END { printf "%.3f %.3f %.3f %.3f\n", a / NR, b / NR, c / NR, d / NR }' "$work/table")
printf '%-28s %12s %12s %12s %12s\n' "mean of the photos" "$mom" "$mpm" "$mot" "$mpt"
awk -v a="$mom" -v b="$mpm" -v c="$mot" -v d="$mpt" 'BEGIN { printf "ours / peer: main pictures %.3f, thumbnails %.3f\n", a / b, c / d }'
last=$(printf '%04d' $((${#sources[@]} - 1)))
echo "ringing on the chart (levels beyond 64..192): main ours $(overshoot "$work/ours/images/img$last.jpg"), peer $(overshoot "$work/peer/main/chart.jpg"); thumbnails ours $(overshoot "$work/ours/thumb/img${last}_t.jpg"), peer $(overshoot "$work/peer/thumb/chart.jpg")"

[ "$heic" -eq 1 ] || exit 0

# The cost of a 12-megapixel HEIC beside the same picture as JPEG: main picture and thumbnail each.
heics=()
for source in "${pictures[@]}"; do
  heic=$work/heic/$(basename "$source" .jpg).heic
  mkdir -p "$work/heic"
  vips copy "$source" "$heic[Q=90]"
  heics+=("$heic")
done
now() { date +%s.%N; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
time_pictora() {
  rm -rf "$work/t"
  "$pictora" --new "$work/t.pxa" "$@" --title timing --out "$work/t" --yes --quiet
  local start end
  start=$(now)
  "$pictora" --make "$work/t.pxa" --yes --no-html-folder --author bench@example.org --quiet >/dev/null
  end=$(now)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
time_peer() {
  rm -rf "$work/t"
  local start end
  start=$(now)
  make_peer "$work/t" "$@" 2>/dev/null
  end=$(now)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
time_pictora "${pictures[@]}" >/dev/null # warm-up
time_pictora "${heics[@]}" >/dev/null
oj=() oh=() pj=() ph=()
for _ in $(seq "$reps"); do
  oj+=("$(time_pictora "${pictures[@]}")")
  oh+=("$(time_pictora "${heics[@]}")")
  pj+=("$(time_peer "${pictures[@]}")")
  ph+=("$(time_peer "${heics[@]}")")
done
n=${#pictures[@]}
per() { awk -v t="$1" -v n="$n" 'BEGIN { printf "%.0f ms", 1000 * t / n }'; }
echo
echo "time per picture, $n pictures of 4000 x 3000, median of $reps (wall clock, all cores):"
echo "  pictora: JPEG $(per "$(median "${oj[@]}")"), HEIC $(per "$(median "${oh[@]}")")"
echo "  peer:    JPEG $(per "$(median "${pj[@]}")"), HEIC $(per "$(median "${ph[@]}")")"
echo "report: $report"
