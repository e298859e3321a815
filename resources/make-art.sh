#!/usr/bin/env bash
# Regenerates logo.jpg and tarvik.ico from vector primitives.
# Needs: imagemagick (convert), icoutils (icotool), python3, fonts-dejavu-core.
set -euo pipefail

cd "$(dirname "$(readlink -f "$0")")"

FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[ -r "$FONT" ] || { echo "missing $FONT (apt-get install fonts-dejavu-core)" >&2; exit 1; }

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

# Same bytes on every run: no metadata or timestamp chunks.
IM_STRIP=(-strip -define 'png:exclude-chunks=date,time')

# Glider seen from above-front while banking, nose at (0,0) +- a few hundred;
# units are ~1 cm of a 18 m span, placed later with translate/scale.
G_FARWING='22,-6 392,-211 635,-350 744,-417 731,-426 607,-368 349,-238 -28,-39'
G_FARWINGLET='744,-417 739,-474 733,-478 731,-426'
G_FARSTAB='-223,-244 -98,-310 -111,-318 -247,-259'
G_FUS='163,105 148,115 129,117 99,108 57,85 10,49 -35,9 -80,-31 -137,-74 -186,-109 -216,-132 -218,-141 -209,-144 -174,-125 -123,-94 -60,-59 -5,-35 50,-10 103,19 141,47 161,71 167,89'
G_FUSSHADE='163,105 148,115 129,117 99,108 57,85 10,49 -35,9 -80,-31 -137,-74 -186,-109 -216,-132 -218,-141 -213,-137 -181,-116 -131,-83 -71,-43 -22,-10 27,24 77,57 117,82 143,98 156,104'
G_GLINT='66,15 84,15 112,28 126,40 104,30 80,22'
G_FIN='-162,-111 -226,-246 -248,-260 -217,-140'
G_NEARSTAB='-223,-244 -358,-184 -371,-193 -247,-259'
G_CANOPY='54,22 55,17 60,12 65,10 75,10 86,12 103,19 116,26 127,35 135,42 143,52 147,59 148,67 140,73 124,72 103,65 81,54 64,40 55,28'
G_NEARWING='22,-6 -364,155 -625,259 -752,305 -765,297 -653,241 -407,127 -28,-39'
G_NEARWINGLET='-752,305 -782,261 -788,257 -765,297'

# glider_draw X Y SCALE STROKE: ImageMagick args painting the glider back to front.
glider_draw() {
	local at="translate $1,$2 scale $3,$3"
	printf '%s\0' -stroke "$4" -strokewidth "$(awk "BEGIN{print 1.1/$3}")" \
		-fill '#d4dee9' -draw "$at polygon $G_FARWING" \
		-fill '#c3cfdc' -draw "$at polygon $G_FARWINGLET" \
		-fill '#d4dee9' -draw "$at polygon $G_FARSTAB" \
		-fill '#f4f7fa' -draw "$at polygon $G_FUS" \
		-stroke none -fill '#c6d2df' -draw "$at polygon $G_FUSSHADE" -stroke "$4" \
		-fill '#e3e9f0' -draw "$at polygon $G_FIN" \
		-fill '#ffffff' -draw "$at polygon $G_NEARSTAB" \
		-fill '#2c4a6c' -draw "$at polygon $G_CANOPY" \
		-stroke none -fill '#8fb0d2' -draw "$at polygon $G_GLINT" -stroke "$4" \
		-fill '#ffffff' -draw "$at polygon $G_NEARWING" \
		-fill '#e3e9f0' -draw "$at polygon $G_NEARWINGLET" \
		-stroke none
}

make_logo() {
	local g=()
	mapfile -d '' g < <(glider_draw 262 172 0.27 '#1f3550')

	convert -size 512x300 gradient:'#1c4f8f-#8cc3e8' \
		-size 512x212 gradient:'#8cc3e8-#f4e0bc' -append +repage \
		\( -size 512x512 xc:none -fill '#fff6dc' -draw 'circle 112,92 112,150' \
		   -channel A -evaluate multiply 0.55 +channel -blur 0x34 \) \
		-compose over -composite \
		-fill '#fffbee' -draw 'circle 112,92 112,112' \
		-fill '#aebfd6' -draw 'polygon 0,290 40,270 75,248 100,258 135,225 165,246 195,240 225,258 260,238 300,214 330,232 360,228 395,246 430,222 470,244 512,236 512,512 0,512' \
		-fill '#e6eef7' -draw 'polygon 135,225 125,234 131,235 136,231 141,238 146,234 151,238' \
		-fill '#e6eef7' -draw 'polygon 300,214 288,223 294,224 299,220 304,227 309,223 314,225' \
		-fill '#e6eef7' -draw 'polygon 430,222 420,230 426,231 431,228 436,234 441,230 446,232' \
		-fill '#6482a8' -draw 'polygon 0,352 30,330 70,300 95,272 120,296 150,318 180,300 215,262 250,222 282,262 300,256 330,290 360,300 400,258 425,244 455,270 490,296 512,300 512,512 0,512' \
		-fill '#4c6990' -draw 'polygon 95,272 120,296 150,318 140,400 114,400 116,326 104,300' \
		-fill '#4c6990' -draw 'polygon 250,222 282,262 300,256 330,290 312,400 280,400 272,318 262,290 256,256' \
		-fill '#4c6990' -draw 'polygon 425,244 455,270 490,296 480,400 452,400 448,314 438,284 431,262' \
		-fill '#f5f9fd' -draw 'polygon 250,222 227,248 234,246 239,255 245,247 251,258 256,256' \
		-fill '#c9d6e6' -draw 'polygon 250,222 256,256 261,249 266,256 272,250' \
		-fill '#f5f9fd' -draw 'polygon 95,272 82,287 88,286 92,292 97,286 101,292 104,290' \
		-fill '#c9d6e6' -draw 'polygon 95,272 104,290 108,285 112,290 115,288' \
		-fill '#f5f9fd' -draw 'polygon 425,244 410,259 416,258 420,264 426,258 430,264 431,262' \
		-fill '#c9d6e6' -draw 'polygon 425,244 431,262 436,257 441,263 444,260' \
		-fill '#2e4a6a' -draw 'path "M 0,380 Q 80,352 170,374 T 330,368 T 512,362 L 512,512 L 0,512 Z"' \
		-draw 'path "M 145,373 L 150,359 L 155,373 Z M 154,374 L 158,364 L 162,374 Z M 161,376 L 165,366 L 169,376 Z M 169,378 L 174,364 L 179,378 Z M 177,380 L 182,366 L 187,380 Z M 295,380 L 300,366 L 305,380 Z M 305,378 L 309,368 L 313,378 Z M 312,376 L 317,362 L 322,376 Z M 321,373 L 326,359 L 331,373 Z"' \
		-fill '#16283e' -draw 'path "M 0,420 Q 130,398 260,416 T 512,410 L 512,512 L 0,512 Z"' \
		-draw 'path "M -2,422 L 6,400 L 14,422 Z M 9,420 L 16,401 L 23,420 Z M 15,419 L 24,394 L 33,419 Z M 29,418 L 35,402 L 41,418 Z M 38,417 L 44,401 L 50,417 Z M 48,415 L 58,387 L 68,415 Z M 64,414 L 70,398 L 76,414 Z M 75,413 L 83,391 L 91,413 Z M 85,412 L 95,384 L 105,412 Z M 98,412 L 104,396 L 110,412 Z M 108,411 L 118,383 L 128,411 Z"' \
		-draw 'path "M 385,426 L 392,407 L 399,426 Z M 398,426 L 404,410 L 410,426 Z M 407,425 L 413,409 L 419,425 Z M 417,425 L 426,400 L 435,425 Z M 428,424 L 437,399 L 446,424 Z M 443,423 L 449,407 L 455,423 Z M 451,422 L 458,403 L 465,422 Z M 464,420 L 470,404 L 476,420 Z M 473,418 L 483,390 L 493,418 Z M 485,416 L 494,391 L 503,416 Z M 500,414 L 506,398 L 512,414 Z"' \
		"${g[@]}" \
		-font "$FONT" -pointsize 46 -gravity south \
		-fill '#050c16' -annotate +2+26 'Le Vol Du Tarvik' \
		-fill '#ffffff' -annotate +0+28 'Le Vol Du Tarvik' \
		-colorspace sRGB -type TrueColor "${IM_STRIP[@]}" \
		-sampling-factor 2x2 -interlace none -quality 90 logo.jpg
}

# Thicker variants for the icon, so wings and tail survive small sizes.
C_FARWING='42,7 336,-158 524,-274 604,-332 581,-347 474,-306 258,-209 -48,-51'
C_FARSTAB='-219,-253 -76,-330 -93,-341 -251,-274'
C_FUS='163,105 144,122 121,129 88,124 46,101 -1,64 -43,20 -84,-24 -140,-70 -189,-104 -218,-129 -218,-141 -207,-147 -171,-129 -120,-99 -56,-66 3,-46 61,-25 114,3 152,32 169,60 171,82'
C_FUSSHADE='163,105 144,122 121,129 88,124 46,101 -1,64 -43,20 -84,-24 -140,-70 -189,-104 -218,-129 -218,-141 -213,-137 -181,-115 -132,-82 -72,-42 -23,-8 25,26 75,59 115,85 141,99 155,105'
C_FIN='-145,-100 -224,-256 -252,-274 -216,-140'
C_NEARSTAB='-219,-253 -376,-185 -393,-196 -251,-274'
C_NEARWING='42,7 -269,134 -484,214 -592,246 -616,231 -535,181 -347,84 -48,-51'
S_FARWING='37,4 350,-171 552,-293 639,-353 618,-367 507,-322 281,-216 -43,-48'
S_FARSTAB='-213,-269 -40,-363 -63,-378 -257,-297'
S_FUS='163,105 146,119 124,124 93,117 50,95 3,58 -40,16 -83,-27 -139,-72 -187,-106 -218,-130 -218,-141 -207,-145 -173,-127 -121,-97 -57,-64 0,-42 57,-19 110,9 147,38 166,64 169,85'
S_FIN='-116,-83 -220,-273 -258,-298 -216,-140'
S_NEARSTAB='-213,-269 -405,-187 -428,-202 -257,-297'
S_NEARWING='37,4 -293,139 -520,225 -632,261 -653,247 -564,196 -362,95 -43,-48'

# icon_png SIZE OUT: one 32-bit RGBA frame; geometry is laid out on a 256 grid.
icon_png() {
	local n=$1 out=$2 k at g m r sky mt
	k=$(awk "BEGIN{print $n/256}")
	at="scale $k,$k"
	if [ "$n" -le 48 ]; then
		# Whole-pixel edge and a plain white glider with a hardened edge:
		# an outline or soft edge only turns to grey mush at these sizes.
		# Placements tuned by eye so tail and wing land on whole pixels.
		local lv
		case $n in
		16) m=0 g="translate 129.3,106.5 scale 0.1795,0.1795" lv=15%,75% ;;
		32) m=0 g="translate 129,98 scale 0.17,0.17" lv=8%,88% ;;
		*)  m=1 g="translate 129,96 scale 0.17,0.17" lv=4%,92% ;;
		esac
		g="$at $g" r=$(awk "BEGIN{print $n*0.2}") sky='#1b5aa6-#5c9fdc' mt="$at translate 0,22"
		set -- \( -size "${n}x${n}" xc:white \) \
			\( -size "${n}x${n}" xc:black -fill white \
			   -draw "$g polygon $S_FARWING" -draw "$g polygon $S_FARSTAB" \
			   -draw "$g polygon $S_FUS" -draw "$g polygon $S_FIN" \
			   -draw "$g polygon $S_NEARSTAB" -draw "$g polygon $S_NEARWING" \
			   -level "$lv" \) \
			-compose over -composite
	else
		m=$(awk "BEGIN{print $n/32}"); r=$(awk "BEGIN{print $n*0.18}") sky='#1f63b0-#9ad2f2' mt=$at
		g="$at translate 131,94 scale 0.18,0.18"
		set -- -stroke '#1f3550' -strokewidth "$(awk "BEGIN{print (0.2+$n/110)/($k*0.18)}")" \
			-fill '#d4dee9' -draw "$g polygon $C_FARWING" -draw "$g polygon $C_FARSTAB" \
			-fill '#f4f7fa' -draw "$g polygon $C_FUS" \
			-stroke none -fill '#c6d2df' -draw "$g polygon $C_FUSSHADE" -stroke '#1f3550' \
			-fill '#e3e9f0' -draw "$g polygon $C_FIN" \
			-fill '#ffffff' -draw "$g polygon $C_NEARSTAB" \
			-fill '#2c4a6c' -draw "$g polygon $G_CANOPY" \
			-fill '#ffffff' -draw "$g polygon $C_NEARWING" -stroke none
	fi
	convert -size "${n}x${n}" gradient:"$sky" \
		-fill '#6f8fb8' -draw "$mt polygon -10,200 40,150 70,160 110,118 150,150 190,128 270,190 270,270 -10,270" \
		-fill '#f4f8fc' -draw "$mt polygon 110,118 94,134 102,133 108,141 114,133 120,140 126,136" \
		-fill '#2d4a6d' -draw "$mt polygon -10,236 60,186 100,206 170,150 230,196 270,176 270,270 -10,270" \
		-fill '#1f3753' -draw "$mt polygon 170,150 230,196 270,176 270,270 200,270 186,210 178,180" \
		-fill '#ffffff' -draw "$mt polygon 170,150 150,167 158,166 163,175 170,166 176,176 178,174" \
		-fill '#d0dcea' -draw "$mt polygon 170,150 178,174 184,168 190,176 196,170" \
		"$@" -compose over \
		\( +clone -alpha transparent -fill white \
		   -draw "roundrectangle $m,$m $(awk "BEGIN{print $n-1-$m}"),$(awk "BEGIN{print $n-1-$m}") $r,$r" \) \
		-compose dst-in -composite "${IM_STRIP[@]}" "PNG32:$out"
}

# Palettised copies for the 4 and 8 bpp entries: the ICO mask is 1-bit, so
# alpha is made binary first; no dithering keeps the small sizes clean.
palette() {
	convert "$1" -channel A -threshold 50% +channel +dither -colors "$2" \
		-define png:bit-depth="$3" "${IM_STRIP[@]}" "PNG8:$4"
}

# icotool marks every PNG entry 32-bit: give the 256 px paletted entries
# (8 and 9) back their depth and colour count, by which Windows picks one.
set_png_depths() {
	python3 - "$1" <<'PY'
import struct, sys
path = sys.argv[1]
ico = bytearray(open(path, "rb").read())
for index, colours, bits in ((8, 16, 4), (9, 0, 8)):
    entry = 6 + 16 * (index - 1)
    offset = struct.unpack_from("<I", ico, entry + 12)[0]
    assert ico[offset:offset + 4] == b"\x89PNG"
    ico[entry + 2] = colours
    struct.pack_into("<H", ico, entry + 6, bits)
open(path, "wb").write(ico)
PY
}

make_icon() {
	local n
	for n in 16 32 48 256; do
		icon_png "$n" "$TMP/i$n.png"
		palette "$TMP/i$n.png" 16 4 "$TMP/i$n-4.png"
		palette "$TMP/i$n.png" 256 8 "$TMP/i$n-8.png"
	done
	# The three 256 px images go in as PNG (--raw), which Windows reads since
	# Vista: as bitmaps they would take 112 KB of the executable.
	icotool -c -o tarvik.ico \
		-b 4 "$TMP/i16-4.png" "$TMP/i32-4.png" "$TMP/i48-4.png" \
		-b 8 "$TMP/i16-8.png" "$TMP/i32-8.png" "$TMP/i48-8.png" \
		-b 32 "$TMP/i32.png" \
		-r "$TMP/i256-4.png" -r "$TMP/i256-8.png" -r "$TMP/i256.png"
	set_png_depths tarvik.ico
}

make_logo
make_icon
icotool -l tarvik.ico
