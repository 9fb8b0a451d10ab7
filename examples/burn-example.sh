#!/bin/sh
# A stand-in device programmer for trying Velmorin out: it "burns" an image by
# copying it into a chips folder and says which one it took. Exit code 0 means
# the chip was programmed; anything else tells Velmorin the burn failed.
#
#   burn-example.sh IMAGE        (Velmorin's command line: examples/burn-example.sh $image)
set -eu
image=${1:?usage: burn-example.sh IMAGE}
chips=${TMPDIR:-/tmp}/velmorin-chips
mkdir -p "$chips"
cp "$image" "$chips/"
echo "burn-example: programmed $(basename "$image") (copy in $chips)"
