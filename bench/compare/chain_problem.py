#!/usr/bin/python3
"""The size benchmark's problem: a linear chain of N states, y1 -> y2 -> ... -> yN, each state
leaving at its own rate k_i (N parameters), all states 1 at t = 0, 2000 events on [0, 20] of
which each measures N/10 states. `chain_problem.py write DIR` writes chain.mod, .dim and .csv;
`chain_problem.py scipy DIR` times solve_ivp, a finite-difference Jacobian and least_squares
(trf) on the same problem from the same start and prints JSON."""
import json
import struct
import sys
import time

import numpy as np
from scipy.integrate import solve_ivp
from scipy.optimize import least_squares
from scipy.optimize._numdiff import approx_derivative

N, EVENTS, T_END = 100, 2000, 20.0
TRUE = 0.5 + 0.5 * (np.arange(N) % 7) / 7.0
START = np.ones(N)
LOWER, UPPER = 0.01, 10.0
times = np.linspace(0.0, T_END, EVENTS)
# Event j measures the states i with i = j (mod 10): a tenth of them.
mask = np.array([[(i - j) % 10 == 0 for i in range(N)] for j in range(EVENTS)])
mask[0, :] = True  # the first event gives every start value


def derivatives(t, y, k):
    d = -k * y
    d[1:] += k[:-1] * y[:-1]
    return d


def jacobian(t, y, k):
    return np.diag(-k) + np.diag(k[:-1], -1)


def solve(k):
    return solve_ivp(derivatives, (0.0, T_END), np.ones(N), t_eval=times, args=(k,),
                     method="LSODA", jac=jacobian, rtol=1e-4, atol=1e-8).y.T


def write(folder):
    measured = solve(TRUE)
    lines = ["language = pascal", "declar", "  i : integer;", "end declar", "static", "end static",
             "dynamic", "  dy^[1] := -p^[1]*y^[1];",
             "  for i := 2 to %d do dy^[i] := p^[i - 1]*y^[i - 1] - p^[i]*y^[i];" % N,
             "end dynamic"]
    open(f"{folder}/chain.mod", "w").write("\n".join(lines) + "\n")
    open(f"{folder}/chain.dim", "wb").write(struct.pack("<5i", 0, N, N, 1, N))
    with open(f"{folder}/chain.csv", "w") as out:
        out.write("X[1]," + ",".join(f"Y[{i + 1}]" for i in range(N)) + "\n")
        for j in range(EVENTS):
            cells = [repr(measured[j, i]) if mask[j, i] else "" for i in range(N)]
            out.write(repr(times[j]) + "," + ",".join(cells) + "\n")
    print(",".join(map(str, START)))


def scipy(folder):
    data = np.genfromtxt(f"{folder}/chain.csv", delimiter=",", skip_header=1)
    measured = data[:, 1:]
    solutions = 0

    def residuals(k):
        nonlocal solutions
        solutions += 1
        return (solve(k)[1:] - measured[1:])[mask[1:]]

    best = lambda f, n=3: min(timed(f) for _ in range(n))
    def timed(f):
        start = time.perf_counter()
        f()
        return time.perf_counter() - start
    solve_s = best(lambda: solve(START))
    jac_s = best(lambda: approx_derivative(residuals, START, method="2-point",
                                           bounds=(LOWER, UPPER)), 1)
    solutions = 0
    start = time.perf_counter()
    fit = least_squares(residuals, START, bounds=(LOWER, UPPER), method="trf")
    fit_s = time.perf_counter() - start
    print(json.dumps({"solve_seconds": solve_s, "jacobian_seconds": jac_s, "fit_seconds": fit_s,
                      "solutions": solutions, "objective": float(2 * fit.cost),
                      "max_error": float(np.max(np.abs(fit.x / TRUE - 1)))}))


if __name__ == "__main__":
    {"write": write, "scipy": scipy}[sys.argv[1]](sys.argv[2])
