#!/usr/bin/env bash
# Writes the language dialog's pictures of Japanese, Chinese (Simplified and
# Traditional) and Korean into resources/languages/: 250 x 40 pixels, the
# language's name in its own script in #1F3F7F on the magenta that the
# dialog makes transparent, drawn as the other pictures are (DejaVu Sans Bold
# at 20 points, its baseline at 12,27). DejaVu has no CJK letters, so these
# take WenQuanYi Micro Hei (fonts-wqy-microhei, installed by deps.sh), made
# about as heavy as DejaVu Bold with a thin stroke of the same colour. Needs
# ImageMagick; run it again to remake the files.
set -euo pipefail
cd "$(dirname "$0")/languages"
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
draw() {
  convert -size 250x40 xc:'#FF00FF' -font "$font" -pointsize 20 -fill '#1F3F7F' \
    -stroke '#1F3F7F' -strokewidth 0.3 -annotate +12+27 "$2" -define png:exclude-chunks=date,time "$1.png"
}
draw jpn '日本語'
draw chs '中文(简体)'
draw cht '中文(繁體)'
draw kor '한국어'
