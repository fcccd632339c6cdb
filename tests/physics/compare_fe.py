#!/usr/bin/env python3
# compare_fe.py Center.out FE.txt: the largest difference (K, signed, and its time) at each of the five points
# between a run of block-h100 or block-h033 (monitor cells of its series.pr, degrees F) and an FE history
# (time h, then degrees C every 0.25 h; linear between rows), over the run's steps.
import sys

fe = [[float(x) for x in line.split()] for line in open(sys.argv[2]) if line.strip()]
worst = [(0.0, 0.0)] * 5
for v in ([float(x) for x in line.split()] for line in open(sys.argv[1]) if line.strip()):
    i = min(int(v[0] * 4), len(fe) - 2)
    w = (v[0] - fe[i][0]) / (fe[i + 1][0] - fe[i][0])
    for p in range(5) if v[0] <= fe[-1][0] else []:
        d = (v[p + 1] - 32) / 1.8 - (fe[i][p + 1] + w * (fe[i + 1][p + 1] - fe[i][p + 1]))
        worst[p] = max(worst[p], (v[0], d), key=lambda x: abs(x[1]))
for name, (t, d) in zip(("core", "5 cm under the top", "5 cm inside the side", "top corner", "soil under the core"),
                        worst):
    print("%-22s %+7.3f K at %g h" % (name, d, t))
