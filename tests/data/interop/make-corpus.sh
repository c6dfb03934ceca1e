#!/bin/sh
# Rewrites the interop corpus: the same small picture (make-source.py) saved
# by the programs people use, in the layouts each of them writes. Needs the
# Debian packages imagemagick, graphicsmagick, python3-pil, libvips-tools,
# libtiff-tools and netpbm; the tests only read the files it leaves here.
#
# Every name says what the file really is (checked from its headers: tiffinfo,
# and the bytes of the BMP, PNG, JPEG and GIF headers), writer first: im (ImageMagick 6),
# gm (GraphicsMagick), pil (Pillow), vips, tiffcp and tiff2bw (libtiff), pbm
# (netpbm). expected.tsv says what our decoders make of each.
# The source paths come from mktemp and hold no blanks; $strip is split on purpose.
# shellcheck disable=SC2086
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src=$(mktemp -d)
trap 'rm -rf "$src"' EXIT
/usr/bin/python3 "$here/make-source.py" "$src"
cd "$here"
rm -f ./*.bmp ./*.png ./*.jpg ./*.gif ./*.tif

# ImageMagick's own binary: another `convert` may come first on PATH.
im() { /usr/bin/convert "$@"; }
gm() { command gm convert "$@"; }
pil() { /usr/bin/python3 -c "from PIL import Image; s = '$src'; $1"; }
rgb=$src/rgb.ppm rgb16=$src/rgb16.ppm grey=$src/grey.pgm grey16=$src/grey16.pgm
bilevel=$src/bilevel.pbm rgba=$src/rgba.png p200=$src/p200.png p16=$src/p16.png p4=$src/p4.png p2=$src/p2.png
# No dates or other text chunks, so that a rerun writes the same bytes.
strip="-strip -define png:exclude-chunks=date,time"

## BMP. None of these writers writes top-down rows or RLE4 (GraphicsMagick
## asked for RLE at 4 bits writes plain rows); bmpsuite's g/ holds both.
im $rgb BMP2:bmp-im-core-24.bmp
im $p16 BMP2:bmp-im-core-4.bmp
im $p2 -type Palette BMP3:bmp-im-v3-1.bmp
im $p16 BMP3:bmp-im-v3-4.bmp
im $p200 -type Palette -compress None BMP3:bmp-im-v3-8.bmp
im $p200 -type Palette BMP3:bmp-im-v3-rle8.bmp
im $rgb BMP3:bmp-im-v3-24.bmp
im $rgba -define bmp3:alpha=true BMP3:bmp-im-v3-32-alpha.bmp
im $p200 -type Palette bmp-im-v5-rle8.bmp
im $rgb -define bmp:subtype=RGB555 bmp-im-v5-16-555.bmp
im $rgb -define bmp:subtype=RGB565 bmp-im-v5-16-565.bmp
im $rgba -define bmp:subtype=ARGB1555 bmp-im-v5-16-1555.bmp
im $rgba -define bmp:subtype=ARGB4444 bmp-im-v5-16-4444.bmp
im $rgb bmp-im-v5-24.bmp
im $rgba bmp-im-v5-32-alpha.bmp
gm $rgb BMP2:bmp-gm-core-24.bmp
gm $p2 bmp-gm-v3-1.bmp
gm $p16 bmp-gm-v3-4.bmp
gm $p200 -compress None bmp-gm-v3-8.bmp
gm $p200 bmp-gm-v3-rle8.bmp
gm $rgb bmp-gm-v3-24.bmp
gm $rgba bmp-gm-v4-32-alpha.bmp
pil "Image.open(s + '/p2.png').convert('1').save('bmp-pil-v3-1.bmp')"
pil "Image.open(s + '/p16.png').save('bmp-pil-v3-8-16-colours.bmp')"
pil "Image.open(s + '/grey.pgm').save('bmp-pil-v3-8-grey.bmp')"
pil "Image.open(s + '/rgb.ppm').save('bmp-pil-v3-24.bmp')"
pil "Image.open(s + '/rgba.png').save('bmp-pil-v3-32.bmp')"
pngtopnm $p2 | ppmtobmp -os2 -bpp 1 >bmp-pbm-core-1.bmp 2>/dev/null
pngtopnm $p16 | ppmtobmp -os2 -bpp 4 >bmp-pbm-core-4.bmp 2>/dev/null
pngtopnm $p200 | ppmtobmp -os2 -bpp 8 >bmp-pbm-core-8.bmp 2>/dev/null
pngtopnm $p4 | ppmtobmp -windows -bpp 4 >bmp-pbm-v3-4.bmp 2>/dev/null
ppmtobmp -windows <$rgb >bmp-pbm-v3-24.bmp 2>/dev/null

## PNG: every colour type and depth, Adam7, tRNS of each kind.
pil "Image.open(s + '/p2.png').convert('1').save('png-pil-grey-1.png')"
pil "Image.open(s + '/grey.pgm').save('png-pil-grey-8.png')"
pil "im = Image.open(s + '/grey.pgm'); im.save('png-pil-grey-8-trns.png', transparency=im.getpixel((0, 0)))"
pil "Image.open(s + '/grey16.pgm').convert('I;16').save('png-pil-grey-16.png')"
pil "Image.open(s + '/rgba.png').convert('LA').save('png-pil-grey-alpha-8.png')"
pil "Image.open(s + '/rgb.ppm').save('png-pil-rgb-8.png')"
pil "Image.open(s + '/rgb.ppm').save('png-pil-rgb-8-trns.png', transparency=(255, 0, 128))"
pil "Image.open(s + '/rgba.png').save('png-pil-rgba-8.png')"
pil "Image.open(s + '/p2.png').save('png-pil-palette-1.png', bits=1)"
pil "Image.open(s + '/p4.png').save('png-pil-palette-2.png', bits=2)"
pil "Image.open(s + '/p16.png').save('png-pil-palette-4.png', bits=4)"
pil "Image.open(s + '/p200.png').save('png-pil-palette-8.png')"
pil "Image.open(s + '/p16.png').save('png-pil-palette-4-trns.png', bits=4, transparency=15)"
pil "Image.open(s + '/rgba.png').quantize(60).save('png-pil-palette-8-trns-alpha.png')"
im $grey $strip -define png:bit-depth=2 -define png:color-type=0 png-im-grey-2.png
im $grey $strip -define png:bit-depth=4 -define png:color-type=0 png-im-grey-4.png
im $grey16 $strip -interlace PNG png-im-grey-16-adam7.png
im $rgba $strip -colorspace Gray -depth 16 -define png:color-type=4 -define png:bit-depth=16 \
  png-im-grey-alpha-16.png
im $rgb16 $strip PNG48:png-im-rgb-16.png
im $rgb16 $strip -transparent 'rgb(255,0,128)' PNG64:png-im-rgba-16.png
im $rgb16 $strip -transparent 'rgb(255,0,128)' PNG48:png-im-rgb-16-trns.png
im $p200 $strip -interlace PNG PNG8:png-im-palette-8-adam7.png
im $rgba $strip -interlace PNG PNG32:png-im-rgba-8-adam7.png
gm $rgb +profile '*' -interlace Line png-gm-rgb-8-adam7.png
gm $p16 +profile '*' png-gm-palette-4.png
gm $p200 +profile '*' -transparent 'rgb(255,0,128)' png-gm-palette-8-trns.png 2>/dev/null
vips pngsave $rgb png-vips-rgb-8-adam7.png --interlace --strip
vips pngsave $rgb16 png-vips-rgb-16.png --bitdepth 16 --strip
vips pngsave $grey png-vips-grey-4.png --bitdepth 4 --strip
vips pngsave $rgb png-vips-palette-8.png --palette --strip
pngtopnm -alpha $rgba >"$src/alpha.pgm"
pnmtopng -interlace <$grey >png-pbm-grey-8-adam7.png 2>/dev/null
pnmtopng -transparent 'rgb:ff/00/80' <$rgb >png-pbm-rgb-8-trns.png 2>/dev/null
pnmtopng -alpha "$src/alpha.pgm" <$rgb >png-pbm-rgba-8.png 2>/dev/null
pngtopnm $p16 | pnmtopng -transparent 'rgb:ff/00/80' >png-pbm-palette-4-trns.png 2>/dev/null

## JPEG: libjpeg-turbo behind every writer, in its chroma samplings,
## progressions, restart intervals and colour spaces.
pil "Image.open(s + '/rgb.ppm').save('jpeg-pil-420.jpg')"
pil "Image.open(s + '/rgb.ppm').save('jpeg-pil-422.jpg', subsampling=1)"
pil "Image.open(s + '/rgb.ppm').save('jpeg-pil-444-progressive.jpg', subsampling=0, progressive=True)"
pil "Image.open(s + '/grey.pgm').save('jpeg-pil-grey.jpg')"
pil "Image.open(s + '/rgb.ppm').convert('CMYK').save('jpeg-pil-cmyk.jpg')"
# ImageMagick samples 4:4:4 unless told otherwise (its quality is 92 here).
im $rgb -strip jpeg-im-444.jpg
im $rgb -strip -sampling-factor 2x1 -interlace Plane jpeg-im-422-progressive.jpg
im $rgb -strip -sampling-factor 2x2 -interlace Plane jpeg-im-420-progressive.jpg
im $grey -strip -interlace Plane jpeg-im-grey-progressive.jpg
im $rgb -strip -colorspace CMYK jpeg-im-ycck-adobe.jpg
gm $rgb +profile '*' jpeg-gm-420.jpg
gm $rgb +profile '*' -colorspace CMYK jpeg-gm-cmyk-adobe.jpg  # with a JFIF marker too
vips jpegsave $rgb jpeg-vips-420-restart-1.jpg --restart-interval 1 --strip
vips jpegsave $rgb jpeg-vips-444-progressive-restart-2.jpg --subsample-mode off --interlace --restart-interval 2 --strip
vips jpegsave $grey jpeg-vips-grey-restart-3.jpg --restart-interval 3 --strip
# netpbm's -restart writes no markers in this version; its odd sampling is a variant of its own.
pnmtojpeg -sample=1x2,1x1,1x1 <$rgb >jpeg-pbm-440.jpg 2>/dev/null

## GIF: first frames of animations, local tables, interlacing, transparency.
## Each writer puts the first frame's colours in the global table and gives
## later frames local ones; tests/data/gif/layouts has a first frame's own.
pil "Image.open(s + '/p200.png').save('gif-pil-interlaced.gif')"
pil "Image.open(s + '/p16.png').save('gif-pil-transparent.gif', transparency=15, interlace=False)"
pil "a = Image.open(s + '/p16.png'); b = Image.open(s + '/p4.png'); a.save('gif-pil-animated-local-tables.gif', save_all=True, append_images=[b], duration=100)"
im $p200 +repage gif-im-plain.gif
im $p16 -interlace GIF gif-im-interlaced.gif
im $p16 -transparent 'rgb(255,0,128)' gif-im-transparent.gif
im -delay 10 $p16 $p4 -loop 0 gif-im-animated-local-table.gif
im -delay 10 $p4 $p200 +map gif-im-animated-global.gif
gm $p16 -interlace Line gif-gm-interlaced.gif
gm -delay 10 $p2 $p16 gif-gm-animated-local-table.gif
vips gifsave $rgb gif-vips.gif --strip
pngtopnm $p16 | ppmtogif -interlace -transparent 'rgb:ff/00/80' >gif-pbm-interlaced-transparent.gif 2>/dev/null

## TIFF: libtiff behind every writer. tiffcp recompresses, tiles, splits the
## planes and swaps the byte order of plain files that ImageMagick writes.
im $rgb -strip -compress None "$src/rgb.tif"
im $grey -strip -compress None "$src/grey.tif"
im $rgb16 -strip -depth 16 -compress None "$src/rgb16.tif"
im $bilevel -strip -compress None "$src/bilevel.tif"
tiffcp -c lzw "$src/rgb.tif" tiff-tiffcp-rgb-lzw.tif
tiffcp -c lzw:2 -t -w 16 -l 16 -B "$src/rgb.tif" tiff-tiffcp-rgb-lzw-predictor-tiles-be.tif
tiffcp -c zip -p separate "$src/rgb.tif" tiff-tiffcp-rgb-deflate-planar.tif
tiffcp -c packbits -r 1 "$src/grey.tif" tiff-tiffcp-grey-packbits-strips-of-1.tif
tiffcp -c jpeg -r 16 "$src/rgb.tif" tiff-tiffcp-ycbcr-jpeg.tif
tiffcp -c g3 "$src/bilevel.tif" tiff-tiffcp-bilevel-g3.tif
tiffcp -c g3:2d "$src/bilevel.tif" tiff-tiffcp-bilevel-g3-2d.tif
tiffcp -c g4 -B "$src/bilevel.tif" tiff-tiffcp-bilevel-g4-be.tif
tiffcp -c none -B "$src/rgb16.tif" tiff-tiffcp-rgb-16-be.tif
(cd "$src" && tiff2bw rgb.tif bw.tif) && mv "$src/bw.tif" tiff-tiff2bw-grey.tif
im $p16 -strip -compress LZW tiff-im-palette-4-lzw.tif
im $p200 -strip -type Palette -compress Zip -define tiff:tile-geometry=16x16 tiff-im-palette-8-deflate-tiles.tif
im $rgba -strip -compress LZW tiff-im-rgba-lzw-predictor.tif
im $rgb16 -strip -depth 16 -compress Zip tiff-im-rgb-16-deflate-predictor.tif
im $rgba -strip -depth 16 -compress LZW tiff-im-rgba-16-lzw-predictor.tif
im $grey16 -strip -depth 16 tiff-im-grey-16.tif
im $rgb -strip -colorspace CMYK -compress LZW tiff-im-cmyk-lzw-predictor.tif
im $grey -strip -define quantum:polarity=min-is-white tiff-im-grey-miniswhite.tif
im $bilevel -strip -compress Group4 tiff-im-bilevel-g4-miniswhite.tif
im $bilevel -strip -compress Fax tiff-im-bilevel-g3-miniswhite.tif
im $rgb -strip -compress JPEG tiff-im-rgb-jpeg.tif
im $rgba -strip -interlace Plane tiff-im-rgba-deflate-planar.tif
gm $rgb +profile '*' -compress RLE tiff-gm-rgb-packbits.tif
gm $rgba +profile '*' -compress LZW -define tiff:alpha=associated tiff-gm-rgba-associated-lzw-predictor.tif
gm $grey16 +profile '*' -depth 16 -compress Zip tiff-gm-grey-16-deflate-predictor.tif
pil "Image.open(s + '/rgb.ppm').save('tiff-pil-rgb-lzw.tif', compression='tiff_lzw')"
pil "Image.open(s + '/p16.png').save('tiff-pil-palette-8-deflate.tif', compression='tiff_adobe_deflate')"
pil "Image.open(s + '/grey16.pgm').convert('I;16').save('tiff-pil-grey-16.tif')"
pil "Image.open(s + '/bilevel.pbm').save('tiff-pil-bilevel-g4.tif', compression='group4')"
pil "Image.open(s + '/rgb.ppm').convert('CMYK').save('tiff-pil-cmyk-packbits.tif', compression='packbits')"
vips tiffsave $rgb tiff-vips-rgb-deflate-predictor-tiles.tif --compression deflate --predictor horizontal --tile --tile-width 16 --tile-height 16 --strip
vips tiffsave $grey tiff-vips-bilevel-miniswhite.tif --squash --miniswhite --strip
vips tiffsave $rgb16 tiff-vips-rgb-16-lzw.tif --compression lzw --strip
pamtotiff -g4 -miniswhite <$bilevel >tiff-pbm-bilevel-g4-miniswhite.tif 2>/dev/null
pamtotiff -lzw -msb2lsb <$grey >tiff-pbm-grey-lzw.tif 2>/dev/null

## Refused: samples no pixel format of ours holds (see expected.tsv).
pil "Image.open(s + '/grey.pgm').convert('F').save('tiff-pil-grey-float-32.tif')"
pil "Image.open(s + '/grey.pgm').convert('I').save('tiff-pil-grey-int-32.tif')"
im $rgb -strip -depth 2 tiff-im-rgb-2-bit.tif

## Newer compressions and a pyramid, which libtiff and libjpeg-turbo decode.
im $rgb -strip -compress LZMA tiff-im-rgb-lzma.tif
im $rgb -strip -compress Zstd tiff-im-rgb-zstd.tif
im $rgb -strip -compress WebP tiff-im-rgb-webp.tif
vips tiffsave $rgb tiff-vips-rgb-pyramid-tiles.tif --tile --pyramid --tile-width 16 --tile-height 16 --strip
pnmtojpeg -arithmetic <$rgb >jpeg-pbm-420-arithmetic.jpg 2>/dev/null
pil "Image.open(s + '/p16.png').convert('RGB').save('png-pil-apng-rgb-8.png', save_all=True, append_images=[Image.open(s + '/rgb.ppm')])"

# Where Pillow needs help: see make-reference.py.
rm -rf reference
mkdir reference
/usr/bin/python3 make-reference.py png-pil-grey-16.png png-im-grey-16-adam7.png \
  tiff-im-grey-16.tif tiff-gm-grey-16-deflate-predictor.tif tiff-pil-grey-16.tif \
  bmp-im-v5-16-1555.bmp bmp-im-v5-16-4444.bmp
