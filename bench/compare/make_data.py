#!/usr/bin/python3
"""Writes reversible.csv: A <-> B -> C -> out with k = (0.8, 0.3, 0.5, 0.2), measured at 40
times with 1 % noise from a fixed seed. Run once; the CSV is checked in."""
import numpy as np
from scipy.integrate import solve_ivp

from problem import derivatives, TIMES, TRUE_K

exact = solve_ivp(derivatives, (TIMES[0], TIMES[-1]), [1.0, 0.0, 0.0], t_eval=TIMES,
                  args=(TRUE_K,), rtol=1e-11, atol=1e-13).y.T
rng = np.random.default_rng(20261208)
measured = exact * (1 + 0.01 * rng.standard_normal(exact.shape))
measured[0] = [1.0, 0.0, 0.0]  # the start is given, not measured
with open("reversible.csv", "w") as out:
    out.write("X[1],Y[1],Y[2],Y[3]\n")
    for t, row in zip(TIMES, measured):
        out.write(",".join(repr(float(v)) for v in [t, *row]) + "\n")
