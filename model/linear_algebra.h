#pragma once
// Gauss-Jordan inversion of the leading n x n block of a [1..50][1..50] matrix.

#include "model/model_library.h"

namespace zelk {

// B := A^-1 with partial pivoting (a later row replaces the pivot only when strictly larger);
// A is not changed. False on an exactly zero pivot, B then part-way; a nearly singular
// matrix inverts to large values. n is 1..50.
bool InvertMatrix(const TNormalMatrix& A, TNormalMatrix& B, int n);

}  // namespace zelk
