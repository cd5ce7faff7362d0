#!/usr/bin/python3
"""Solutions per second of SciPy's LSODA and Radau on Robertson's reaction at the data's times,
rtol and atol as given, best of five rounds; prints one JSON line."""
import json
import sys
import time

import numpy as np
from scipy.integrate import solve_ivp


def derivatives(t, y, k1, k2, k3):
    return [-k1 * y[0] + k3 * y[1] * y[2],
            k1 * y[0] - k3 * y[1] * y[2] - k2 * y[1] ** 2,
            k2 * y[1] ** 2]


csv, rtol, atol = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
data = np.loadtxt(csv, delimiter=",", skiprows=1)
times, start = data[:, 0], data[0, 1:]
out = {}
for method in ("LSODA", "Radau"):
    best, count = 1e300, 20
    for _ in range(5):
        begin = time.perf_counter()
        for _ in range(count):
            r = solve_ivp(derivatives, (times[0], times[-1]), start, method=method, t_eval=times,
                          args=(0.04, 3e7, 1e4), rtol=rtol, atol=atol)
        best = min(best, (time.perf_counter() - begin) / count)
    error = float(np.max(np.abs(r.y.T[:, [0, 2]] - data[:, [1, 3]])))
    out[method] = {"seconds": best, "rhs_calls": int(r.nfev), "max_error": error}
print(json.dumps(out))
