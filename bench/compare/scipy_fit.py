#!/usr/bin/python3
"""The comparison fit: SciPy's least_squares over solve_ivp on reversible.csv from the same
start as zelkcli, timed in-process (imports and data reading excluded). Prints JSON."""
import json
import sys
import time

import numpy as np
from scipy.integrate import solve_ivp
from scipy.optimize import least_squares

from problem import derivatives, START

data = np.loadtxt(sys.argv[1] if len(sys.argv) > 1 else "reversible.csv", delimiter=",",
                  skiprows=1)
times, measured = data[:, 0], data[:, 1:]
solutions = 0


def residuals(k):
    global solutions
    solutions += 1
    # The same relative tolerance as the workbench's integrator.
    y = solve_ivp(derivatives, (times[0], times[-1]), measured[0], t_eval=times, args=(k,),
                  rtol=1e-4, atol=1e-8).y.T
    return (y[1:] - measured[1:]).ravel()  # the first event is the given start


best = None
for _ in range(5):  # the best of five runs, as a benchmark reports
    solutions = 0
    start = time.perf_counter()
    fit = least_squares(residuals, START)
    seconds = time.perf_counter() - start
    if best is None or seconds < best["fit_seconds"]:
        best = {"fit_seconds": seconds, "objective": float(2 * fit.cost), "solutions": solutions,
                "values": [float(v) for v in fit.x]}
print(json.dumps(best))
