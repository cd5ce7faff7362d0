"""The peer of zelkcli's multi-start on the Boehm problem of the PEtab benchmark collection:
SciPy's least_squares (trf, 2-point Jacobian) over solve_ivp (LSODA) from the same starts,
on log10 parameters within the table's bounds, two starts at a time.

usage: boehm_scipy.py PROBLEM_DIR STARTS.json   (STARTS.json: zelkcli fit --starts ... --json)
Prints one JSON line: starts, seconds, starts_per_minute, best, reached (within 1e-3 relative
of the best known likelihood, the nominal one).
"""
import csv, json, math, sys, time
from multiprocessing import Pool

import numpy as np
from scipy.integrate import solve_ivp
from scipy.optimize import least_squares

BEST_KNOWN = 138.22199970618
CYT, NUC = 1.4, 0.45
NAMES = ["Epo_degradation_BaF3", "k_exp_hetero", "k_exp_homo", "k_imp_hetero", "k_imp_homo",
         "k_phos", "ratio", "sd_pSTAT5A_rel", "sd_pSTAT5B_rel", "sd_rSTAT5A_rel", "specC17"]


def load(folder):
    rows = list(csv.DictReader(open(f"{folder}/parameters_Boehm_JProteomeRes2014.tsv"), delimiter="\t"))
    table = {r["parameterId"]: r for r in rows}
    meas = list(csv.DictReader(open(f"{folder}/measurementData_Boehm_JProteomeRes2014.tsv"), delimiter="\t"))
    times = sorted({float(m["time"]) for m in meas})
    data = [(m["observableId"], times.index(float(m["time"])), float(m["measurement"])) for m in meas]
    return table, times, data


def rhs(t, y, p):
    stat5a, stat5b, papb, papa, pbpb, napa, napb, nbpb = y
    epo = 1.25e-7 * math.exp(-p["Epo_degradation_BaF3"] * t)
    v1 = CYT * epo * stat5a ** 2 * p["k_phos"]
    v2 = CYT * epo * stat5a * stat5b * p["k_phos"]
    v3 = CYT * epo * stat5b ** 2 * p["k_phos"]
    v4 = CYT * p["k_imp_homo"] * papa
    v5 = CYT * p["k_imp_hetero"] * papb
    v6 = CYT * p["k_imp_homo"] * pbpb
    v7 = NUC * p["k_exp_homo"] * napa
    v8 = NUC * p["k_exp_hetero"] * napb
    v9 = NUC * p["k_exp_homo"] * nbpb
    return [(-2 * v1 - v2 + 2 * v7 + v8) / CYT, (-v2 - 2 * v3 + v8 + 2 * v9) / CYT,
            (v2 - v5) / CYT, (v1 - v4) / CYT, (v3 - v6) / CYT,
            (v4 - v7) / NUC, (v5 - v8) / NUC, (v6 - v9) / NUC]


def observables(y, s):
    stat5a, stat5b, papb, papa, pbpb = y[:5]
    return {
        "pSTAT5A_rel": (100 * papb + 200 * papa * s) / (papb + stat5a * s + 2 * papa * s),
        "pSTAT5B_rel": -(100 * papb - 200 * pbpb * (s - 1)) / ((stat5b * (s - 1) - papb) + 2 * pbpb * (s - 1)),
        "rSTAT5A_rel": (100 * papb + 100 * stat5a * s + 200 * papa * s)
        / (2 * papb + stat5a * s + 2 * papa * s - stat5b * (s - 1) - 2 * pbpb * (s - 1)),
    }


class Problem:
    def __init__(self, folder):
        self.table, self.times, self.data = load(folder)
        self.free = [n for n in NAMES if self.table[n]["estimate"] == "1"]
        self.fixed = {n: float(self.table[n]["nominalValue"]) for n in NAMES if n not in self.free}
        self.lower = [math.log10(float(self.table[n]["lowerBound"])) for n in self.free]
        self.upper = [math.log10(float(self.table[n]["upperBound"])) for n in self.free]

    def params(self, x):
        p = dict(self.fixed)
        p.update({n: 10 ** v for n, v in zip(self.free, x)})
        return p

    def residuals(self, x):
        p = self.params(x)
        y0 = [207.6 * p["ratio"], 207.6 - 207.6 * p["ratio"], 0, 0, 0, 0, 0, 0]
        sol = solve_ivp(rhs, (0, self.times[-1]), y0, t_eval=self.times, args=(p,), method="LSODA",
                        rtol=1e-8, atol=1e-12)
        if not sol.success:
            return np.full(2 * len(self.data), 1e6)
        h = [observables(sol.y[:, k], p["specC17"]) for k in range(len(self.times))]
        r, s = [], []
        for obs, k, y in self.data:
            sigma = p["sd_" + obs]
            r.append((h[k][obs] - y) / sigma)
            s.append(math.sqrt(max(2 * math.log(sigma) + 50, 0)))
        return np.array(r + s)

    def nllh(self, x):
        p = self.params(x)
        rs = self.residuals(x)[: len(self.data)]
        return sum(0.5 * math.log(2 * math.pi * p["sd_" + obs] ** 2) for obs, _, _ in self.data) + 0.5 * float(rs @ rs)


PROBLEM = None


def fit(start):
    x0 = np.clip([math.log10(v) for v in start], PROBLEM.lower, PROBLEM.upper)
    try:
        res = least_squares(PROBLEM.residuals, x0, bounds=(PROBLEM.lower, PROBLEM.upper), method="trf",
                            ftol=1e-8, xtol=1e-8, gtol=1e-8, max_nfev=2000)
        return PROBLEM.nllh(res.x)
    except Exception:
        return math.inf


def main():
    global PROBLEM
    PROBLEM = Problem(sys.argv[1])
    run = json.loads(next(l for l in open(sys.argv[2]) if l.startswith("{")))
    index = [NAMES.index(n) for n in PROBLEM.free]
    starts = [[s["start_values"][i] for i in index] for s in sorted(run["starts"], key=lambda s: s["start"])]
    begun = time.time()
    with Pool(2) as pool:
        finals = pool.map(fit, starts)
    seconds = time.time() - begun
    best = min(finals)
    reached = sum(1 for f in finals if f - BEST_KNOWN <= 1e-3 * max(1, abs(BEST_KNOWN)))
    finite = sorted(f for f in finals if math.isfinite(f))
    median = finite[len(finite) // 2] if finite else math.inf
    print(json.dumps({"starts": len(starts), "seconds": seconds, "starts_per_minute": 60 * len(starts) / seconds,
                      "best": best, "reached": reached, "median": median}))


if __name__ == "__main__":
    main()
