"""Reference roof planes: for each point set of the JSON file named on the
command line, the least-squares z = a*(x - mx) + b*(y - my) + c by NumPy's
lstsq, printed as JSON [[a, b, c, mx, my], ...]."""
import json
import sys

import numpy as np

answers = []
for points in json.load(open(sys.argv[1])):
    p = np.array(points, dtype=float)
    mx, my = p[:, 0].mean(), p[:, 1].mean()
    a = np.column_stack([p[:, 0] - mx, p[:, 1] - my, np.ones(len(p))])
    (ca, cb, cc), *_ = np.linalg.lstsq(a, p[:, 2], rcond=None)
    answers.append([ca, cb, cc, mx, my])
json.dump(answers, sys.stdout)
