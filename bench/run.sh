#!/usr/bin/env bash
# Times `pictora --make` against vipsthumbnail on the corpus of bench/make-corpus.sh, in the same
# run, alternating, and measures pictora's peak memory for the album and for one ten times longer;
# then the rebuild of the album and of a 1,000-page one, with sizes remembered (warm) and without
# (cold), and phone photos of 108 and 200 megapixels, baseline and progressive.
#
#   bench/run.sh [-r REPETITIONS] [--pictora PATH] [--corpus DIR] [--peer-only] [--make-only]
#                [--again-only]
#
# Then a make into an album made before ("again"): the first make of 117 distinct photos against a
# second one with nothing changed, the album after one source is replaced and after qJPEG changes
# checked byte for byte against a make into an empty folder, and the second make of 1,000 pictures.
#
# Results go to bench/results/ (git-ignored); a summary is printed at the end.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
pictora=${PICTORA:-$root/build/app/pictora}
corpus=$here/corpus
reps=5
peer_only=0
make_only=0
again_only=0
cores=$(nproc)
# libvips' own thread pool left at its default (one thread per core) in each process: on 2 cores,
# alternated with --vips-concurrency=1 it was the faster of the two. PEER_CONCURRENCY=N to force N.
peer_concurrency=${PEER_CONCURRENCY-}
peer_threads=()
[ -z "$peer_concurrency" ] || peer_threads=(--vips-concurrency="$peer_concurrency")
# vipsthumbnail cannot write 4:2:2: "on" is 4:2:0, "off" is 4:4:4. 4:2:0 is the cheaper of the
# two neighbours, so the comparison leans towards the peer.
peer_subsample=${PEER_SUBSAMPLE:-on}

while [ $# -gt 0 ]; do
  case $1 in
    -r) reps=$2; shift 2 ;;
    --pictora) pictora=$2; shift 2 ;;
    --corpus) corpus=$2; shift 2 ;;
    --peer-only) peer_only=1; shift ;;
    --make-only) make_only=1; shift ;;
    --again-only) again_only=1; shift ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

mapfile -t pictures < <(find "$corpus" -maxdepth 1 -name '*.jpg' | sort)
n=${#pictures[@]}
if [ "$n" -eq 0 ]; then
  echo "run.sh: no pictures in $corpus; run bench/make-corpus.sh first" >&2
  exit 1
fi
for tool in vipsthumbnail /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
if [ "$peer_only" -eq 0 ] && ! "$pictora" --help 2>/dev/null | grep -q -- '--make'; then
  echo "run.sh: $pictora has no --make; build it or use --peer-only" >&2
  exit 1
fi

stamp=$(date +%Y%m%d-%H%M%S)
results=$here/results
work=$results/work-$stamp
report=$results/$stamp.txt
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
# Median of the numbers given as arguments.
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
rate() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.2f", n / t }'; }

count_files() { find "$1" -name "$2" | wc -l; }

# The peer: the list cut into one contiguous share per core, each share one process that makes
# all its main pictures in one call and then all its thumbnails from them.
peer_opts="[Q=90,subsample-mode=$peer_subsample,strip]"
run_peer() {
  local out=$1 share=$(((n + cores - 1) / cores)) k
  mkdir -p "$out/main" "$out/thumb"
  for ((k = 0; k < n; k += share)); do
    (
      part=("${pictures[@]:k:share}")
      mains=()
      for p in "${part[@]}"; do mains+=("$out/main/$(basename "${p%.*}").jpg"); done
      vipsthumbnail "${peer_threads[@]}" -s 640x640 -o "$out/main/%s.jpg$peer_opts" "${part[@]}"
      vipsthumbnail "${peer_threads[@]}" -s 160x160 -o "$out/thumb/%s_t.jpg$peer_opts" "${mains[@]}"
    ) &
  done
  wait
  [ "$(count_files "$out/main" '*.jpg')" -eq "$n" ] && [ "$(count_files "$out/thumb" '*_t.jpg')" -eq "$n" ] \
    || { echo "run.sh: the peer did not make every picture" >&2; exit 1; }
}

# pictora, default options, no questions left open. Leaves "seconds max-RSS-KiB" in time.txt.
# Its remembered sizes go to $cache (a folder of the run), never to the user's.
cache=$work/cache-make
run_pictora() {
  local project=$1 out=$2 pictures_expected=$3
  XDG_CACHE_HOME=$cache /usr/bin/time -f '%e %M' -o "$work/time.txt" \
    "$pictora" --make "$project" --out "$out" --yes --no-html-folder --author bench@example.org \
    >"$work/pictora.log" 2>&1 || { cat "$work/pictora.log" >&2; echo "run.sh: pictora --make failed" >&2; exit 1; }
  [ "$(count_files "$out/images" 'img*.jpg')" -eq "$pictures_expected" ] \
    && [ "$(count_files "$out/thumb" 'img*_t.jpg')" -eq "$pictures_expected" ] \
    || { echo "run.sh: pictora did not make every picture" >&2; exit 1; }
}

bytes=$(du -cb "${pictures[@]}" | tail -1 | cut -f1)
{
  echo "Pictora benchmark $stamp"
  echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $cores cores, $(free -g | awk '/Mem:/ { print $2 }') GB"
  echo "system:  $(uname -sr), $(. /etc/os-release && echo "$PRETTY_NAME")"
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  if awk -v l="$(cut -d' ' -f1 /proc/loadavg)" -v c="$cores" 'BEGIN { exit !(l > c / 2) }'; then
    echo "WARNING: the machine is busy; these figures are not worth quoting"
  fi
  echo "corpus:  $n pictures, $(vipsheader -f width "${pictures[0]}")x$(vipsheader -f height "${pictures[0]}"), $((bytes / n / 1024)) KiB on average, $corpus"
  echo "peer:    $(vipsthumbnail --vips-version 2>/dev/null | head -1), $cores processes, --vips-concurrency=${peer_concurrency:-default}"
  echo "         vipsthumbnail -s 640x640 -o MAIN/%s.jpg$peer_opts SHARE..."
  echo "         vipsthumbnail -s 160x160 -o THUMB/%s_t.jpg$peer_opts MAIN/SHARE..."
  if [ "$peer_only" -eq 0 ]; then
    echo "pictora: $("$pictora" --version 2>/dev/null | head -1), $pictora"
    echo "         pictora --make album.pxa --out OUT --yes --no-html-folder --author bench@example.org"
  fi
  echo "repetitions: $reps (alternating, after one warm-up run each)"
} | tee "$report"

if [ "$peer_only" -eq 0 ]; then
  "$pictora" --new "$work/album.pxa" "${pictures[@]}" >/dev/null
  long=()
  for _ in $(seq 10); do long+=("${pictures[@]}"); done
  "$pictora" --new "$work/long.pxa" "${long[@]}" >/dev/null
  # A new project has no title, and making asks for one: give it one (line 7, CR LF).
  sed -n 6p "$work/album.pxa" | grep -q '^\[edTitle\]' || { echo "run.sh: line 6 of a project is not [edTitle]" >&2; exit 1; }
  sed -i '7s/.*/Benchmark\r/' "$work/album.pxa" "$work/long.pxa"
fi

# pictora --rebuild into an album made before; the sizes remembered in $cache. Leaves time.txt.
run_rebuild() {
  local project=$1 out=$2
  XDG_CACHE_HOME=$cache /usr/bin/time -f '%e %M' -o "$work/time.txt" \
    "$pictora" --rebuild "$project" --out "$out" --yes --author bench@example.org \
    >"$work/pictora.log" 2>&1 || { cat "$work/pictora.log" >&2; echo "run.sh: pictora --rebuild failed" >&2; exit 1; }
}

# A make into an album made before. The first make of 117 distinct photos (the corpus, then its
# pictures mirrored and turned by jpegtran, losslessly: other pixels, the same kind of picture),
# each into an empty folder with nothing remembered, alternating with a second make with nothing
# changed; then one source replaced by another picture under the same name and qJPEG changed, each
# album compared byte for byte with a make into an empty folder; then the second make of 1,000.
# Each make keeps what it remembers in a cache folder of this run, never the user's.
again_make() { # project out cache [more options]: leaves "seconds max-RSS-KiB CPU-seconds" in time.txt
  local project=$1 out=$2 again_cache=$3
  shift 3
  XDG_CACHE_HOME=$again_cache /usr/bin/time -f '%e %M %U %S' -o "$work/time.txt" \
    "$pictora" --make "$project" --out "$out" --yes --no-html-folder --author bench@example.org "$@" \
    >"$work/pictora.log" 2>&1 || { cat "$work/pictora.log" >&2; echo "run.sh: pictora --make failed" >&2; exit 1; }
  awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$work/time.txt" >"$work/time-cpu.txt"
  mv "$work/time-cpu.txt" "$work/time.txt"
}
# The album `out` is byte for byte the one a make into an empty folder with nothing remembered writes.
same_as_fresh() { # project out label [more options]
  local project=$1 out=$2 label=$3
  shift 3
  rm -rf "$work/again-fresh" "$work/again-fresh-cache"
  again_make "$project" "$work/again-fresh" "$work/again-fresh-cache" "$@"
  if diff -r "$out" "$work/again-fresh" >"$work/diff.txt"; then
    echo "identical to a make into an empty folder ($(find "$out" -type f | wc -l) files) after $label"
  else
    cat "$work/diff.txt" >&2
    echo "run.sh: after $label the album differs from a make into an empty folder" >&2
    exit 1
  fi
}
run_again() {
  local distinct=$corpus/distinct count=${AGAIN_PICTURES:-117} k p a b variant
  mkdir -p "$distinct"
  local again_pictures=("${pictures[@]}")
  for variant in "-flip horizontal" "-flip vertical" "-rotate 180"; do
    for p in "${pictures[@]}"; do
      [ ${#again_pictures[@]} -lt "$count" ] || break 2
      local name
      name=$distinct/$(basename "$p" .jpg)-$(echo "$variant" | tr -d ' -').jpg
      # shellcheck disable=SC2086 # the variant is two words on purpose
      [ -s "$name" ] || jpegtran -copy none -trim $variant -outfile "$name" "$p"
      again_pictures+=("$name")
    done
  done
  # The sources are links of this run's own to the corpus, so that one can be replaced without
  # touching the corpus.
  mkdir -p "$work/again-src"
  local sources=()
  for p in "${again_pictures[@]}"; do
    ln -s "$p" "$work/again-src/$(basename "$p")"
    sources+=("$work/again-src/$(basename "$p")")
  done
  "$pictora" --new "$work/again.pxa" "${sources[@]}" >/dev/null 2>&1
  local thousand_again=()
  while [ ${#thousand_again[@]} -lt 1000 ]; do thousand_again+=("${sources[@]}"); done
  "$pictora" --new "$work/again1000.pxa" "${thousand_again[@]:0:1000}" >/dev/null 2>&1
  sed -i '7s/.*/Benchmark\r/' "$work/again.pxa" "$work/again1000.pxa"

  local first=() second=() first_cpu=() second_cpu=() r cpu_a cpu_b
  local m=${#sources[@]}
  for ((r = 1; r <= 3; r++)); do
    rm -rf "$work/again" "$work/again-cache"
    again_make "$work/again.pxa" "$work/again" "$work/again-cache"
    read -r a _ cpu_a <"$work/time.txt"
    again_make "$work/again.pxa" "$work/again" "$work/again-cache"
    read -r b _ cpu_b <"$work/time.txt"
    first+=("$a") second+=("$b") first_cpu+=("$cpu_a") second_cpu+=("$cpu_b")
    echo "rep $r again-$m first $a s (CPU $cpu_a s), second $b s (CPU $cpu_b s)" >>"$report"
  done
  for ((r = 4; r <= reps; r++)); do
    again_make "$work/again.pxa" "$work/again" "$work/again-cache"
    read -r b _ cpu_b <"$work/time.txt"
    second+=("$b") second_cpu+=("$cpu_b")
    echo "rep $r again-$m second $b s (CPU $cpu_b s)" >>"$report"
  done
  # The pages alone, for scale: a rebuild with every size remembered.
  local pages=()
  for ((r = 1; r <= 3; r++)); do
    XDG_CACHE_HOME=$work/again-cache /usr/bin/time -f '%e %M' -o "$work/time.txt" \
      "$pictora" --rebuild "$work/again.pxa" --out "$work/again" --author bench@example.org >/dev/null 2>&1
    read -r a _ <"$work/time.txt"
    pages+=("$a")
  done
  local first_m second_m pages_m
  first_m=$(median "${first[@]}") second_m=$(median "${second[@]}") pages_m=$(median "${pages[@]}")
  {
    echo
    echo "again:   $m distinct pictures: first make $first_m s (median of 3), second with nothing changed $second_m s (median of ${#second[@]}):" \
      "$(awk -v a="$first_m" -v b="$second_m" 'BEGIN { printf "%.1f", a / b }') x faster" \
      "($(awk -v a="$first_m" -v b="$second_m" 'BEGIN { print (a / b >= 8) ? "goal of 8 x met" : "BELOW the goal of 8 x" }')); the pages alone (warm rebuild) $pages_m s"
    echo "         CPU: first $(median "${first_cpu[@]}") s, second $(median "${second_cpu[@]}") s"
  } | tee -a "$report"

  # Another picture under the same name as the 5th source, with the old one's modification time.
  local replaced=${sources[$((4 % m))]}
  rm "$replaced"
  cp "${again_pictures[$((5 % m))]}" "$replaced"
  touch -r "${again_pictures[$((4 % m))]}" "$replaced"
  again_make "$work/again.pxa" "$work/again" "$work/again-cache"
  read -r a _ <"$work/time.txt"
  echo "         one source replaced under the same name (same mtime): make $a s, $(same_as_fresh "$work/again.pxa" "$work/again" "the replacement")" | tee -a "$report"
  again_make "$work/again.pxa" "$work/again" "$work/again-cache" --set qJPEG=80
  read -r a _ <"$work/time.txt"
  echo "         qJPEG 90 -> 80: make $a s, $(same_as_fresh "$work/again.pxa" "$work/again" "qJPEG=80" --set qJPEG=80)" | tee -a "$report"

  rm -rf "$work/again" "$work/again-cache"
  again_make "$work/again1000.pxa" "$work/again" "$work/again-cache"
  read -r a _ <"$work/time.txt"
  local thousand_times=() thousand_cpu=()
  for ((r = 1; r <= 3; r++)); do
    again_make "$work/again1000.pxa" "$work/again" "$work/again-cache"
    read -r b rss cpu_b <"$work/time.txt"
    thousand_times+=("$b") thousand_cpu+=("$cpu_b")
    echo "rep $r again-1000 second $b s (CPU $cpu_b s), max RSS $((rss / 1024)) MB" >>"$report"
  done
  echo "         1000 pictures: first make $a s, second with nothing changed $(median "${thousand_times[@]}") s, CPU $(median "${thousand_cpu[@]}") s (medians of 3)" | tee -a "$report"
}

if [ "$again_only" -eq 1 ]; then
  run_again
  echo "written: $report"
  exit 0
fi

# Warm-up: the corpus into the page cache, the libraries into memory.
run_peer "$work/peer"
[ "$peer_only" -eq 1 ] || run_pictora "$work/album.pxa" "$work/pictora" "$n"

# CPU seconds (user + system) of every child this shell has waited for, grandchildren included.
# `times` must run in this shell itself, not in a $(...) subshell.
children_cpu() {
  times >"$work/times.txt"
  awk 'NR == 2 { split($1 " " $2, t, /[ms ]+/); print t[1] * 60 + t[2] + t[3] * 60 + t[4] }' "$work/times.txt"
}

# Runs one side once; leaves its wall-clock and CPU seconds in $wall and $cpu.
timed() {
  local c0 c1 t0 t1
  children_cpu >"$work/cpu0.txt"; t0=$(now)
  "$@"
  t1=$(now); children_cpu >"$work/cpu1.txt"
  read -r c0 <"$work/cpu0.txt"
  read -r c1 <"$work/cpu1.txt"
  wall=$(elapsed "$t0" "$t1")
  cpu=$(elapsed "$c0" "$c1")
}

peer_times=() peer_cpu=() pictora_times=() pictora_cpu=() pictora_rss=()
for ((r = 1; r <= reps; r++)); do
  # Alternate which goes first so that neither always runs on a warmer or cooler machine.
  for side in $( ((r % 2)) && echo "peer pictora" || echo "pictora peer"); do
    if [ "$side" = peer ]; then
      rm -rf "$work/peer"
      timed run_peer "$work/peer"
      peer_times+=("$wall") peer_cpu+=("$cpu")
      echo "rep $r peer    $wall s  $(rate "$n" "$wall") pictures/s  CPU $cpu s" | tee -a "$report"
    elif [ "$peer_only" -eq 0 ]; then
      rm -rf "$work/pictora"
      timed run_pictora "$work/album.pxa" "$work/pictora" "$n"
      read -r _ rss <"$work/time.txt"
      pictora_times+=("$wall") pictora_cpu+=("$cpu") pictora_rss+=("$rss")
      echo "rep $r pictora $wall s  $(rate "$n" "$wall") pictures/s  CPU $cpu s  max RSS $((rss / 1024)) MB" | tee -a "$report"
    fi
  done
done

# CPU milliseconds per picture: steadier than wall-clock time when other work shares the machine.
per_picture_ms() { awk -v t="$(median "$@")" -v n="$n" 'BEGIN { printf "%.0f", 1000 * t / n }'; }
peer_rate=$(rate "$n" "$(median "${peer_times[@]}")")
peer_ms=$(per_picture_ms "${peer_cpu[@]}")
{
  echo
  echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "peer:    $peer_rate pictures/s, $peer_ms ms CPU per picture (medians of $reps)"
  if [ "$peer_only" -eq 0 ]; then
    pictora_rate=$(rate "$n" "$(median "${pictora_times[@]}")")
    pictora_ms=$(per_picture_ms "${pictora_cpu[@]}")
    rss_max=$(printf '%s\n' "${pictora_rss[@]}" | sort -n | tail -1)
    rm -rf "$work/pictora"
    run_pictora "$work/long.pxa" "$work/long" $((n * 10))
    read -r long_s long_rss <"$work/time.txt"
    echo "pictora: $pictora_rate pictures/s, $pictora_ms ms CPU per picture (medians of $reps)"
    echo "ratio:   $(awk -v a="$pictora_rate" -v b="$peer_rate" 'BEGIN { printf "%.2f", a / b }') x the peer's throughput" \
      "($(awk -v a="$pictora_ms" -v b="$peer_ms" 'BEGIN { printf "%.2f", b / a }') x by CPU time)"
    echo "memory:  $((rss_max / 1024)) MB peak for $n pictures, $((long_rss / 1024)) MB for $((n * 10)) pictures ($(rate $((n * 10)) "$long_s") pictures/s)"
  fi
} | tee -a "$report"

if [ "$peer_only" -eq 1 ] || [ "$make_only" -eq 1 ]; then
  echo "written: $report"
  exit 0
fi

# Rebuilds: of the album just made (against its make) and of a 1,000-page album (the corpus
# repeated), each in the folder it was made in. Cold: nothing remembered (a fresh cache folder each
# time), so every source is checked; warm: the sizes the run before remembered.
thousand=()
while [ ${#thousand[@]} -lt 1000 ]; do thousand+=("${pictures[@]}"); done
"$pictora" --new "$work/thousand.pxa" "${thousand[@]:0:1000}" >/dev/null
sed -i '7s/.*/Benchmark\r/' "$work/thousand.pxa"
rm -rf "$work/pictora"
cache=$work/cache-rebuild
run_pictora "$work/album.pxa" "$work/pictora" "$n"
pages_before=$(md5sum <"$work/pictora/index.htm")
rebuild_row() { # label project pictures reps cold|warm
  local label=$1 project=$2 count=$3 times=() r
  for ((r = 1; r <= $4; r++)); do
    if [ "$5" = cold ]; then rm -rf "$work/cache-cold"; cache=$work/cache-cold; else cache=$work/cache-rebuild; fi
    run_rebuild "$project" "$work/pictora"
    read -r t _ <"$work/time.txt"
    times+=("$t")
    echo "rep $r $label $t s" >>"$report"
  done
  median "${times[@]}"
}
cold_album=$(rebuild_row "rebuild-cold-$n" "$work/album.pxa" "$n" "$reps" cold)
warm_album=$(rebuild_row "rebuild-warm-$n" "$work/album.pxa" "$n" "$reps" warm)
[ "$(md5sum <"$work/pictora/index.htm")" = "$pages_before" ] \
  || { echo "run.sh: the rebuilt cover page differs from the made one" >&2; exit 1; }
# A rebuild needs an album whose pictures match its list: the 1,000 are made first (not timed),
# which also remembers their sizes for the warm rebuilds.
rm -rf "$work/pictora"
cache=$work/cache-rebuild
run_pictora "$work/thousand.pxa" "$work/pictora" 1000
cold_1000=$(rebuild_row rebuild-cold-1000 "$work/thousand.pxa" 1000 2 cold)
warm_1000=$(rebuild_row rebuild-warm-1000 "$work/thousand.pxa" 1000 "$reps" warm)
make_median=$(median "${pictora_times[@]}")
{
  echo
  echo "rebuild: $n pages: cold $cold_album s ($(awk -v m="$make_median" -v c="$cold_album" 'BEGIN { printf "%.1f", m / c }') x faster than the make, $make_median s), warm $warm_album s (medians of $reps)"
  echo "         1000 pages: cold $cold_1000 s (median of 2), warm $warm_1000 s (median of $reps)"
} | tee -a "$report"

# Phone photos: a corpus picture enlarged to 108 and 200 megapixels (made once, kept beside the
# corpus), baseline and progressive, each made into an album of its own.
big=$corpus/big
mkdir -p "$big"
for photo in 108:3.0 200:4.08; do
  mp=${photo%%:*} scale=${photo#*:}
  [ -s "$big/${mp}mp-baseline.jpg" ] || vips resize "${pictures[0]}" "$big/${mp}mp-baseline.jpg[Q=90]" "$scale"
  [ -s "$big/${mp}mp-progressive.jpg" ] || vips resize "${pictures[0]}" "$big/${mp}mp-progressive.jpg[Q=90,interlace]" "$scale"
done
echo | tee -a "$report"
for photo in "$big"/108mp-baseline.jpg "$big"/108mp-progressive.jpg "$big"/200mp-baseline.jpg "$big"/200mp-progressive.jpg; do
  name=$(basename "$photo" .jpg)
  "$pictora" --new "$work/$name.pxa" "$photo" >/dev/null
  sed -i '7s/.*/Benchmark\r/' "$work/$name.pxa"
  rm -rf "$work/big"
  cache=$work/cache-big
  run_pictora "$work/$name.pxa" "$work/big" 1
  read -r big_s big_rss <"$work/time.txt"
  size=$(vipsheader -f width "$work/big/images/img0000.jpg")x$(vipsheader -f height "$work/big/images/img0000.jpg")
  rm -rf "$work/peer-big"; mkdir -p "$work/peer-big"
  t0=$(now)
  /usr/bin/time -f '%M' -o "$work/peer-time.txt" vipsthumbnail -s 640x640 -o "$work/peer-big/%s.jpg$peer_opts" "$photo"
  t1=$(now)
  echo "$name: $(vipsheader -f width "$photo")x$(vipsheader -f height "$photo"), $(($(stat -c %s "$photo") / 1048576)) MB: pictora $big_s s, $((big_rss / 1024)) MB peak, main $size; peer main only $(elapsed "$t0" "$t1") s, $(($(cat "$work/peer-time.txt") / 1024)) MB peak" | tee -a "$report"
done
run_again
echo "written: $report"
