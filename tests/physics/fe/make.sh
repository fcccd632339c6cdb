#!/bin/bash
# make.sh M FE DT CASE TEND NAME [SOLVER]: writes NAME.edp from block.edp.in and runs it, giving NAME.txt
# (time h, then the five points every 0.25 h). Rates: the RT[] lines of a pourheat log of the block.
# Other points: PX, PY, PZ in the environment, each a comma-separated list (m, the FE's frame).
set -e
cd "$(dirname "$0")"
PX=${PX:-0, 0, 0.7, 0.7, 0} PY=${PY:-0, 0, 0, 0.7, 0} PZ=${PZ:-1.1, 1.4, 1.1, 1.4, 0.5}
R=$(awk '/RT\[\]/ {print $5}' rates.log | paste -sd, )
sed -e "s/@M@/$1/; s/@FE@/$2/; s/@DT@/$3/; s/@CASE@/$4/; s/@TEND@/$5/; s|@OUT@|$6.txt|; s/@RATES@/$R/; s/@SOLVER@/${7:-sparsesolver}/; s/@PX@/$PX/; s/@PY@/$PY/; s/@PZ@/$PZ/" block.edp.in > "$6.edp"
FF_LOADPATH=/usr/lib/freefem++ FreeFem++ -nw "$6.edp" > "$6.ff.log" 2>&1
tail -1 "$6.ff.log"
