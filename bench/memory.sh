#!/usr/bin/env bash
# Memory follows the pictures, not the workers: 8 pictures of 100 megapixels made with the source's
# pixel size kept for the main picture (cbTransMain=false, so each is decoded whole) by 8 workers
# under an address-space limit of 3,000,000 KiB, beside the same make by 1 worker with no limit
# (the peer: what one picture at a time needs); then a JPEG with 512 MB appended after its end
# marker, beside the same JPEG without them.
#
#   bench/memory.sh [--pictora PATH] [--limit KIB] [--before PATH]
#
# --before runs the limited make with another build too (one without the budget, say).
# The pictures are made once into bench/corpus/huge/ (git-ignored) by `vips`: smooth 11520 x 8640
# pictures, small on disk. Results go to bench/results/.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
pictora=${PICTORA:-$root/build/app/pictora}
limit=3000000
before=
while [ $# -gt 0 ]; do
  case $1 in
    --pictora) pictora=$2; shift 2 ;;
    --limit) limit=$2; shift 2 ;;
    --before) before=$2; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) echo "memory.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
for tool in vips /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "memory.sh: $tool is missing" >&2; exit 1; }
done

huge=$here/corpus/huge
mkdir -p "$huge"
for k in 1 2 3 4 5 6 7 8; do
  [ -s "$huge/huge$k.jpg" ] && continue
  vips gaussnoise "$huge/seed.v" 720 540 --mean 128 --sigma 50 --seed "$k"
  vips resize "$huge/seed.v" "$huge/huge$k.jpg[Q=90]" 16
  rm -f "$huge/seed.v"
done
if [ ! -s "$huge/camera.jpg" ]; then
  vips gaussnoise "$huge/seed.v" 500 375 --mean 128 --sigma 50 --seed 9
  vips resize "$huge/seed.v" "$huge/camera.jpg[Q=92]" 8
  rm -f "$huge/seed.v"
fi
# 512 MB of zeros after the end marker, as a sparse file: nothing to write, nothing on the disk.
if [ ! -s "$huge/trailer.jpg" ]; then
  cp "$huge/camera.jpg" "$huge/trailer.jpg"
  truncate -s +512M "$huge/trailer.jpg"
fi

stamp=$(date +%Y%m%d-%H%M%S)
results=$here/results
work=$results/memory-$stamp
report=$results/memory-$stamp.txt
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
load() { cut -d' ' -f1-3 /proc/loadavg; }

# run_make LABEL PROJECT EXPECTED [ulimit -v KIB or ""] [more options]: reports seconds and peak memory.
run_make() {
  local label=$1 project=$2 expected=$3 as=$4 status=0
  shift 4
  rm -rf "$work/out" "$work/cache"
  (
    [ -z "$as" ] || ulimit -v "$as"
    XDG_CACHE_HOME=$work/cache exec /usr/bin/time -f '%e %M' -o "$work/time.txt" "$pictora" --make "$project" \
      --out "$work/out" --no-html-folder --yes --author bench@example.org --quiet "$@"
  ) >"$work/log.txt" 2>&1 || status=$?
  local made
  made=$(find "$work/out/images" -name 'img*.jpg' 2>/dev/null | wc -l)
  # GNU time puts "Command exited with non-zero status N" first when the command failed.
  read -r seconds rss < <(tail -n 1 "$work/time.txt") || true
  echo "$label: exit $status, $made of $expected main pictures made, ${seconds:-?} s, peak $((${rss:-0} / 1024)) MB" | tee -a "$report"
  [ "$status" -eq 0 ] || sed 's/^/    /' "$work/log.txt" | head -5 | tee -a "$report"
}

{
  echo "Pictora memory benchmark $stamp"
  echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, $(free -g | awk '/Mem:/ { print $2 }') GB"
  echo "pictora: $pictora ($(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '?'))"
  echo "pictures: 8 x $(vipsheader -f width "$huge/huge1.jpg") x $(vipsheader -f height "$huge/huge1.jpg"), $(du -k "$huge/huge1.jpg" | cut -f1) KiB each"
  echo "load before: $(load)"
} | tee "$report"

"$pictora" --new "$work/huge.pxa" "$huge"/huge?.jpg --title Memory >/dev/null
run_make "peer: -j 1, no limit" "$work/huge.pxa" 8 "" --set cbTransMain=false -j 1
run_make "-j 8 under ulimit -v $limit" "$work/huge.pxa" 8 "$limit" --set cbTransMain=false -j 8
if [ -n "$before" ]; then
  mine=$pictora pictora=$before
  run_make "the same by $before" "$work/huge.pxa" 8 "$limit" --set cbTransMain=false -j 8
  pictora=$mine
fi

"$pictora" --new "$work/camera.pxa" "$huge/camera.jpg" --title Memory >/dev/null
"$pictora" --new "$work/trailer.pxa" "$huge/trailer.jpg" --title Memory >/dev/null
run_make "peer: $(vipsheader -f width "$huge/camera.jpg") x $(vipsheader -f height "$huge/camera.jpg") JPEG" "$work/camera.pxa" 1 ""
run_make "the same with 512 MB after its end marker" "$work/trailer.pxa" 1 ""
echo "load after: $(load)" | tee -a "$report"
echo "written: $report"
