#!/usr/bin/env bash
# Long albums of small pictures: a first make into an empty folder with nothing remembered against a
# second make with nothing changed, for each count given (default 20,000 and 100,000); then, on the
# first count, a rebuild whose every page changes (another title) and one with nothing changed, with
# their wall-clock and CPU seconds side by side (a rebuild should wait on the disk, not compute).
#
#   bench/scale.sh [-r REPETITIONS] [--pictora PATH] [--counts "20000 100000"]
#
# The pictures are 160 x 120 JPEGs made once into bench/corpus/small/ (git-ignored): 16 different
# ones from `vips`, copied over and over under their own names. Results go to bench/results/.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
pictora=${PICTORA:-$root/build/app/pictora}
counts="20000 100000"
reps=3
while [ $# -gt 0 ]; do
  case $1 in
    -r) reps=$2; shift 2 ;;
    --pictora) pictora=$2; shift 2 ;;
    --counts) counts=$2; shift 2 ;;
    -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
    *) echo "scale.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
for tool in vips python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "scale.sh: $tool is missing" >&2; exit 1; }
done

small=$here/corpus/small
most=0
for n in $counts; do [ "$n" -gt "$most" ] && most=$n; done
if [ ! -s "$small/$(printf 'p%06d.jpg' $((most - 1)))" ]; then
  mkdir -p "$small/templates"
  for k in $(seq 0 15); do
    [ -s "$small/templates/t$k.jpg" ] && continue
    vips gaussnoise "$small/templates/n$k.v" 20 15 --mean 128 --sigma 60 --seed $((k + 1))
    vips resize "$small/templates/n$k.v" "$small/templates/t$k.jpg[Q=90]" 8
    rm -f "$small/templates/n$k.v"
  done
  python3 - "$small" "$most" <<'EOF'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
templates = [open(os.path.join(folder, "templates", "t%d.jpg" % k), "rb").read() for k in range(16)]
for i in range(count):
    path = os.path.join(folder, "p%06d.jpg" % i)
    if not os.path.exists(path):
        with open(path, "wb") as f:
            f.write(templates[i % 16])
EOF
fi

stamp=$(date +%Y%m%d-%H%M%S)
results=$here/results
work=$results/scale-$stamp
report=$results/scale-$stamp.txt
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Runs pictora once; leaves "wall user system max-RSS-KiB" in $work/time.txt.
timed() {
  local cache=$1
  shift
  XDG_CACHE_HOME=$cache /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" "$pictora" "$@" --yes \
    --author bench@example.org >"$work/pictora.log" 2>&1 \
    || { cat "$work/pictora.log" >&2; echo "scale.sh: pictora $1 failed" >&2; exit 1; }
}
load() { cut -d' ' -f1-3 /proc/loadavg; }

{
  echo "Pictora scale benchmark $stamp"
  echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, $(free -g | awk '/Mem:/ { print $2 }') GB"
  echo "pictora: $pictora ($(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '?'))"
  echo "load before: $(load)"
} | tee "$report"

first_count=
for n in $counts; do
  [ -n "$first_count" ] || first_count=$n
  # A folder of exactly n pictures: links to the first n of the small corpus.
  mkdir -p "$work/pick$n"
  python3 - "$small" "$work/pick$n" "$n" <<'EOF2'
import os, sys
for i in range(int(sys.argv[3])):
    name = "p%06d.jpg" % i
    os.symlink(os.path.join(sys.argv[1], name), os.path.join(sys.argv[2], name))
EOF2
  "$pictora" --new "$work/a$n.pxa" "$work/pick$n" --title "Scale" >/dev/null
  out=$work/out$n
  cache=$work/cache$n
  rm -rf "$out" "$cache"
  echo "load before $n: $(load)" >>"$report"
  timed "$cache" --make "$work/a$n.pxa" --out "$out" --no-html-folder
  read -r first fu fs frss <"$work/time.txt"
  [ "$(find "$out/thumb" -name '*_t.jpg' | wc -l)" -eq "$n" ] || { echo "scale.sh: not every picture made" >&2; exit 1; }
  seconds=() cpus=() rss=0
  for ((r = 1; r <= reps; r++)); do
    timed "$cache" --make "$work/a$n.pxa" --out "$out" --no-html-folder
    read -r w u s m <"$work/time.txt"
    seconds+=("$w") cpus+=("$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }')")
    [ "$m" -gt "$rss" ] && rss=$m
    echo "rep $r second make of $n: $w s (user $u s, system $s s), max RSS $((m / 1024)) MB" >>"$report"
  done
  second=$(median "${seconds[@]}")
  {
    echo
    echo "$n pictures: first make $first s (user $fu s, system $fs s, max RSS $((frss / 1024)) MB)"
    echo "  second make with nothing changed: $second s (median of $reps; CPU $(median "${cpus[@]}") s, max RSS $((rss / 1024)) MB):" \
      "$(awk -v a="$first" -v b="$second" 'BEGIN { printf "%.1f", a / b }') x faster than the first"
    echo "  load after: $(load)"
  } | tee -a "$report"

  if [ "$n" -eq "$first_count" ]; then
    walls=() users=() systems=()
    for ((r = 1; r <= reps; r++)); do
      timed "$cache" --rebuild "$work/a$n.pxa" --out "$out" --set "edTitle=Scale $r"
      read -r w u s _ <"$work/time.txt"
      walls+=("$w") users+=("$u") systems+=("$s")
      echo "rep $r rebuild of $n, every page changed: $w s (user $u s, system $s s)" >>"$report"
    done
    grep -q "Scale $reps" "$out/images/0000.htm" || { echo "scale.sh: the pages were not rewritten" >&2; exit 1; }
    same=()
    for ((r = 1; r <= reps; r++)); do
      timed "$cache" --rebuild "$work/a$n.pxa" --out "$out" --set "edTitle=Scale $reps"
      read -r w _ _ _ <"$work/time.txt"
      same+=("$w")
    done
    {
      echo "  rebuild of $n pictures ($((2 * n + 2)) files), every page changed: $(median "${walls[@]}") s," \
        "user $(median "${users[@]}") s + system $(median "${systems[@]}") s (medians of $reps); nothing changed: $(median "${same[@]}") s"
    } | tee -a "$report"
  fi
  rm -rf "$out" "$work/pick$n"
done
echo "load after: $(load)" | tee -a "$report"
echo "written: $report"
