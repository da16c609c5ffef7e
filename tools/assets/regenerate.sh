#!/usr/bin/env bash
# Runs the asset generators over the sources in assets/src.
#   regenerate.sh TOOLS_DIR SOURCE_DIR           rewrite assets/*_data.cpp and
#       the icons in assets/icons (drawn from the chopper compiled into
#       make_icon, so `make assets` runs make_icon again once it is rebuilt)
#   regenerate.sh TOOLS_DIR SOURCE_DIR --check   regenerate into a scratch
#       directory and fail unless every file matches the committed one
set -eu
tools=$1
src=$2
mode=${3:-write}
if [ "$mode" = --check ]; then
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
else
  out=$src/assets
fi
mkdir -p "$out/icons"
"$tools/make_title" /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf "$out/title_image_data.cpp"
"$tools/make_picture" "$src/assets/src/coin.txt" "$out/coin_image_data.cpp"
"$tools/make_picture" "$src/assets/src/chopper.txt" "$out/chopper_frames_data.cpp"
"$tools/make_font" "$src/assets/src/font.txt" "$out/font_sheet_data.cpp"
"$tools/make_icon" "$out/icons"
if [ "$mode" = --check ]; then
  status=0
  icons=$(cd "$out" && ls icons/*.png)
  for f in title_image_data.cpp coin_image_data.cpp chopper_frames_data.cpp font_sheet_data.cpp $icons; do
    if ! cmp -s "$out/$f" "$src/assets/$f"; then
      echo "assets/$f differs from what its generator makes now: run make assets" >&2
      status=1
    fi
  done
  exit $status
fi
