#!/usr/bin/env bash
# Makes the benchmark corpus: camera-like 4000x3000 JPEGs (quality 92, 4:2:2, fixed-seed grain)
# from the real photographs in Debian's wallpaper packages.
#
#   bench/make-corpus.sh [CORPUS_DIR]        default: bench/corpus (git-ignored)
#
# Needs: apt-get, dpkg, vips (libvips-tools), cjpeg (libjpeg-turbo-progs).
# Idempotent: pictures already made are kept.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
corpus=${1:-$here/corpus}
debs=$corpus/.debs
grain_sigma=${GRAIN_SIGMA:-4}

packages=(lomiri-wallpapers-16.04 lomiri-wallpapers-20.04 mate-backgrounds plasma-workspace-wallpapers)

# Photographs only: the packages also hold drawings and renders, which decode and compress
# nothing like a camera's output.
photos=(
  backgrounds/Bridge_by_Sander_Klootwijk.jpg
  backgrounds/Dragonfly_by_Bolly.jpg
  backgrounds/Kleiber_by_Lukas_Baubkus.jpg
  backgrounds/Picture_0B_by_freespace.jpg
  backgrounds/Picture_1A_by_freespace.jpg
  backgrounds/Wine_by_Jakkub_Mede.jpg
  backgrounds/aitzgorri_by_Aitzol_Berasategi.jpg
  backgrounds/free_by_Peter_Nerlich.jpg
  backgrounds/friends_by_Aitzol_Berasategi.jpg
  backgrounds/greentock_by_Peter_Nerlich.jpg
  backgrounds/life_by_Aitzol_Berasategi.jpg
  backgrounds/picosdeeuropa_by_Aitzol_Berasategi.jpg
  backgrounds/seeding_by_Clements_Engelhardt.jpg
  backgrounds/sunset_by_Aitzol_Berasategi.jpg
  backgrounds/mate/nature/Aqua.jpg
  backgrounds/mate/nature/Blinds.jpg
  backgrounds/mate/nature/Dune.jpg
  backgrounds/mate/nature/FreshFlower.jpg
  backgrounds/mate/nature/Garden.jpg
  backgrounds/mate/nature/GreenMeadow.jpg
  backgrounds/mate/nature/LadyBird.jpg
  backgrounds/mate/nature/RainDrops.jpg
  backgrounds/mate/nature/Storm.jpg
  backgrounds/mate/nature/TwoWings.jpg
  backgrounds/mate/nature/Wood.jpg
  backgrounds/mate/nature/YellowFlower.jpg
  wallpapers/BytheWater/contents/images/2560x1600.jpg
  wallpapers/ColdRipple/contents/images/2560x1600.jpg
  wallpapers/ColorfulCups/contents/images/2560x1600.jpg
  wallpapers/DarkestHour/contents/images/2560x1600.jpg
  wallpapers/EveningGlow/contents/images/2560x1600.jpg
  wallpapers/FallenLeaf/contents/images/2560x1600.jpg
  wallpapers/Grey/contents/images/2560x1600.jpg
  wallpapers/Kite/contents/images/2560x1600.jpg
  wallpapers/OneStandsOut/contents/images/2560x1600.jpg
  wallpapers/Path/contents/images/2560x1600.jpg
  wallpapers/Volna/contents/images/5120x2880.jpg
  wallpapers/summer_1am/contents/images/2560x1600.jpg
)

for tool in vips cjpeg dpkg apt-get; do
  command -v "$tool" >/dev/null || { echo "make-corpus: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

mkdir -p "$debs"
if [ ! -d "$debs/root/usr/share" ]; then
  (cd "$debs" && apt-get download "${packages[@]}")
  for deb in "$debs"/*.deb; do dpkg -x "$deb" "$debs/root"; done
fi

# One picture: centre crop to 4:3 and resize in one step, add grain that is the same on every
# run (seeded per picture and band), save as a camera would: quality 92, 4:2:2.
make_one() {
  local index=$1 source=$2 target=$3
  local tmp
  tmp=$(mktemp -d "$corpus/.tmp.XXXXXX")
  vips thumbnail "$source" "$tmp/fit.v" 4000 --height 3000 --crop centre --size both
  vips colourspace "$tmp/fit.v" "$tmp/rgb.v" srgb
  vips extract_band "$tmp/rgb.v" "$tmp/rgb3.v" 0 --n 3
  local band
  for band in 0 1 2; do
    vips gaussnoise "$tmp/n$band.v" 4000 3000 --mean 0 --sigma "$grain_sigma" --seed $((index * 3 + band + 1))
  done
  vips bandjoin "$tmp/n0.v $tmp/n1.v $tmp/n2.v" "$tmp/noise.v"
  vips add "$tmp/rgb3.v" "$tmp/noise.v" "$tmp/sum.v"
  vips cast "$tmp/sum.v" "$tmp/out.v" uchar
  vips copy "$tmp/out.v" "$tmp/out.ppm"
  cjpeg -quality 92 -sample 2x1 -outfile "$tmp/out.jpg" "$tmp/out.ppm"
  mv "$tmp/out.jpg" "$target"
  rm -rf "$tmp"
}

jobs_max=$(nproc)
index=0
for photo in "${photos[@]}"; do
  index=$((index + 1))
  target=$(printf '%s/photo%02d.jpg' "$corpus" "$index")
  [ -s "$target" ] && continue
  source=$debs/root/usr/share/$photo
  [ -f "$source" ] || { echo "make-corpus: $photo not found in the packages" >&2; exit 1; }
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_max" ]; do wait -n; done
  make_one "$index" "$source" "$target" 2>"$corpus/.photo$index.log" &
done
wait
count=$(find "$corpus" -maxdepth 1 -name 'photo*.jpg' | wc -l)
if [ "$count" -ne ${#photos[@]} ]; then
  echo "make-corpus: only $count of ${#photos[@]} pictures made, see $corpus/.photo*.log" >&2
  exit 1
fi
rm -f "$corpus"/.photo*.log
bytes=$(find "$corpus" -maxdepth 1 -name 'photo*.jpg' -printf '%s\n' | awk '{s += $1} END {print s}')
echo "make-corpus: $count pictures, $((bytes / count / 1024)) KiB on average, in $corpus"
