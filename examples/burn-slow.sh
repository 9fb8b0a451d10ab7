#!/bin/sh
# A stand-in device programmer that takes its time and talks while it works,
# for watching Velmorin's running-burner box and trying its Abort button: it
# "erases", "writes" and "verifies" the image it is given over about five
# seconds, then exits with 0 (the chip counts as programmed).
#
#   burn-slow.sh IMAGE        (Velmorin's command line: examples/burn-slow.sh $image)
set -eu
image=${1:?usage: burn-slow.sh IMAGE}
if [ ! -r "$image" ]; then
  echo "burn-slow: cannot read $image" >&2
  exit 2
fi
echo "burn-slow: programmer ready, $(basename "$image"), $(wc -c < "$image") bytes"
echo "erasing chip..."
sleep 1
for percent in 10 20 30 40 50 60 70 80 90 100; do
  echo "writing... $percent%"
  sleep 0.3
done
echo "verifying..."
sleep 1
echo "burn-slow: chip programmed and verified"
