"""The comparison problem, shared by the data generator and the SciPy fit."""
import numpy as np

TIMES = np.arange(40) * 0.25
TRUE_K = (0.8, 0.3, 0.5, 0.2)
START = (0.4, 0.6, 0.25, 0.4)


def derivatives(t, y, k):
    a, b, c = y
    return [-k[0] * a + k[1] * b, k[0] * a - (k[1] + k[2]) * b, k[2] * b - k[3] * c]
