#include "model/linear_algebra.h"

#include <cmath>
#include <utility>

namespace zelk {

bool InvertMatrix(const TNormalMatrix& A, TNormalMatrix& B, int n) {
  if (n < 1 || n > kMaxDep) return false;
  TNormalMatrix W = A;
  for (int r = 1; r <= n; ++r)
    for (int c = 1; c <= n; ++c) B[r][c] = r == c ? 1 : 0;
  for (int c = 1; c <= n; ++c) {
    if (c < n) {
      int pivot = c;
      double largest = std::fabs(W[c][c]);
      for (int r = c + 1; r <= n; ++r)
        if (std::fabs(W[r][c]) > largest) {
          largest = std::fabs(W[r][c]);
          pivot = r;
        }
      if (pivot != c)
        for (int j = 1; j <= n; ++j) {
          std::swap(W[pivot][j], W[c][j]);
          std::swap(B[pivot][j], B[c][j]);
        }
    }
    const double p = W[c][c];
    if (p == 0) return false;
    for (int j = 1; j <= n; ++j) {
      W[c][j] /= p;
      B[c][j] /= p;
    }
    for (int r = 1; r <= n; ++r) {
      if (r == c) continue;
      const double f = W[r][c];
      if (f == 0) continue;
      for (int j = 1; j <= n; ++j) {
        W[r][j] -= f * W[c][j];
        B[r][j] -= f * B[c][j];
      }
    }
  }
  return true;
}

}  // namespace zelk
