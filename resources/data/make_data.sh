#!/bin/sh
# Remakes the built-in data files in this folder: the tray icon, the search button picture, the
# skin block and the empty database template. The build embeds the committed files; run this
# only to change them. Needs ImageMagick, python3 and the sqlite3 shell.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Tray icon: a blue rounded square holding a white "</>" snippet mark, drawn large and scaled
# down to each size the icon carries.
convert -size 64x64 xc:none \
  -fill '#2f6fb0' -stroke '#1d4a7a' -strokewidth 2 -draw "roundrectangle 2,2 61,61 14,14" \
  -fill none -stroke white -strokewidth 6 \
  -draw "polyline 24,20 12,32 24,44" -draw "polyline 40,20 52,32 40,44" \
  -strokewidth 4 -draw "line 36,16 28,48" \
  "PNG32:$work/icon64.png"
for size in 48 32 16; do
  convert "$work/icon64.png" -resize "${size}x${size}" -strip "PNG32:$work/icon$size.png"
done
convert "$work/icon48.png" "$work/icon32.png" "$work/icon16.png" tray_icon.ico

# Search button: a 60 x 24 face with a magnifier on the left and a light caption area beside it.
convert -size 60x24 gradient:'#f4f7fb'-'#c9d6e6' \
  -fill none -stroke '#7a8ea8' -strokewidth 1 -draw "roundrectangle 0.5,0.5 59.5,23.5 4,4" \
  -fill '#ffffff' -stroke '#aebdd0' -draw "roundrectangle 22.5,4.5 55.5,19.5 3,3" \
  -fill '#e3ecf7' -stroke '#2f6fb0' -strokewidth 2 -draw "circle 9.5,10.5 9.5,5.5" \
  -stroke '#2f6fb0' -strokewidth 3 -draw "line 13.5,14.5 18.5,19.5" \
  -strip PNG24:search_button.png

# Skin block, our own format (little-endian):
#   "SNSK", u16 version, u16 colour count, u32 block length,
#   colours as u32 0xAARRGGBB, u8 font name length, font name (GBK), u16 font height in pixels,
#   u16 texture width, u16 texture height, texture as RGBA rows (a title bar gradient),
#   zero padding, u32 CRC-32 of every byte before it.
python3 - skin.snsk <<'PY'
import struct, sys, zlib
LENGTH = 41098
colours = [0xFFF3F6FA, 0xFF1E2833, 0xFFFFFFFF, 0xFF1E2833, 0xFF2F6FB0, 0xFF9AABC0, 0xFF3D7CC9, 0xFFFFFFFF]
font = b"Noto Sans CJK SC"
width, height = 160, 64
texture = bytearray()
for y in range(height):
    for x in range(width):
        t = y / (height - 1)
        texture += bytes((int(0x3D + (0x25 - 0x3D) * t), int(0x7C + (0x5A - 0x7C) * t), int(0xC9 + (0x94 - 0xC9) * t), 255))
block = b"SNSK" + struct.pack("<HHI", 1, len(colours), LENGTH)
block += b"".join(struct.pack("<I", c) for c in colours)
block += struct.pack("<B", len(font)) + font + struct.pack("<H", 16)
block += struct.pack("<HH", width, height) + texture
block += bytes(LENGTH - 4 - len(block))
block += struct.pack("<I", zlib.crc32(block))
assert len(block) == LENGTH
open(sys.argv[1], "wb").write(block)
PY

# Empty database template: an SQLite file without tables.
rm -f empty_database.mdb
sqlite3 empty_database.mdb "PRAGMA page_size=4096; PRAGMA user_version=0; VACUUM;"
if [ ! -s empty_database.mdb ]; then
  sqlite3 empty_database.mdb "CREATE TABLE t(x); DROP TABLE t; VACUUM;"
fi
