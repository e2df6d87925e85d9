#!/usr/bin/env bash
# Address-space sweep, run by hand (it takes many minutes; the figures are
# in docs/RELIABILITY.md): every limit from 15 MB to 300 MB in steps of 4 MB,
# five output formats, every processing step; any exit status other than
# 0 or 1 (a signal, an abort) is a failure.
pixlane=${1:?usage: address_space_sweep.sh PIXLANE [WORKDIR]}
work=${2:-/tmp/pixlane-address-space-sweep}
in=$work/in
mkdir -p $in
[[ -f $in/a_large.png ]] || convert -size 6000x4000 plasma:fractal -depth 8 $in/a_large.png
[[ -f $in/b_photo.jpg ]] || convert -size 4000x3000 plasma:fractal -quality 85 $in/b_photo.jpg
[[ -f $in/c_small.bmp ]] || convert -size 64x48 gradient:red-blue -type TrueColor BMP3:$in/c_small.bmp
runs=0; bad=0; st0=0; st1=0
for fmt in bmp png jpeg tiff gif; do
  for ((mb=15; mb<=300; mb+=4)); do
    rm -rf $work/out
    status=0
    (ulimit -v $((mb*1024)); "$pixlane" -q --format $fmt --rotate 90 --auto-levels --brightness 10 --contrast 10 --saturation 20 --hue 10 --long-side 3000 --sharpen strong -o $work/out $in) >$work/last.log 2>&1 || status=$?
    runs=$((runs+1))
    case $status in 0) st0=$((st0+1));; 1) st1=$((st1+1));; *) bad=$((bad+1)); echo "FAIL fmt=$fmt limit=${mb}MB status=$status"; tail -3 $work/last.log;; esac
  done
done
echo "runs=$runs exit0=$st0 exit1=$st1 other=$bad"
