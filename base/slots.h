#pragma once
// Growable one-based storage. Slot 0 holds no value, as in the arrays a model library gets;
// a vector is never smaller than its classic size, so code written for the classic limits
// keeps working, and grows to whatever a problem needs.

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <vector>

namespace zelk {

// One row of a table: `Size` cells from `Cells`.
template <class T>
class TRow {
 public:
  TRow(T* cells, int size) : cells_(cells), size_(size) {}
  template <class U>
  TRow(const TRow<U>& other) : cells_(other.data()), size_(other.size()) {}
  TRow(const TRow&) = default;
  // A row is a view: assigning one would move the view, not copy the cells (see CopyRow).
  TRow& operator=(const TRow&) = delete;
  // Fills the row from its start, as a list assigned to an array would: the rest becomes 0.
  const TRow& operator=(std::initializer_list<T> values) const {
    assert(static_cast<int>(values.size()) <= size_);
    std::fill(std::copy(values.begin(), values.end(), cells_), cells_ + size_, T{});
    return *this;
  }
  T& operator[](int i) const {
    assert(i >= 0 && i < size_);
    return cells_[i];
  }
  T& at(int i) const {
    if (i < 0 || i >= size_) throw std::out_of_range("table column out of range");
    return cells_[i];
  }
  T* data() const { return cells_; }
  int size() const { return size_; }
  T* begin() const { return cells_; }
  T* end() const { return cells_ + size_; }

 private:
  T* cells_;
  int size_;
};

template <class T, int Floor>
class TSlots : public std::vector<T> {
 public:
  TSlots() : std::vector<T>(Floor + 1) {}
  TSlots(std::initializer_list<T> values) : std::vector<T>(values) {
    if (this->size() < Floor + 1) this->resize(Floor + 1);
  }
  template <class It>
  TSlots(It first, It last) : std::vector<T>(first, last) {
    if (this->size() < Floor + 1) this->resize(Floor + 1);
  }
  // A copy of a table's row, as wide as the row (at least the floor).
  template <class U>
  TSlots(TRow<U> row) : TSlots(row.begin(), row.end()) {}
  template <class U>
  TSlots& operator=(TRow<U> row) {
    this->assign(row.begin(), row.end());
    if (this->size() < Floor + 1) this->resize(Floor + 1);
    return *this;
  }

  T& operator[](std::size_t i) {
    assert(i < this->size());
    return std::vector<T>::operator[](i);
  }
  const T& operator[](std::size_t i) const {
    assert(i < this->size());
    return std::vector<T>::operator[](i);
  }
  // The highest slot that may be used.
  int Last() const { return static_cast<int>(this->size()) - 1; }
  // Grows so that slot n exists; new slots hold `fill`. Never shrinks.
  void Hold(int n, T fill = T{}) {
    if (n > Last()) this->resize(static_cast<std::size_t>(n) + 1, fill);
  }
};

// Copies the cells both rows have; the rest of `to` is left alone.
template <class T, class U>
void CopyRow(TRow<T> to, TRow<U> from) {
  std::copy_n(from.data(), std::min(to.size(), from.size()), to.data());
}

// Rows 0..Rows() of columns 0..Columns(), stored row after row so that a row's address is
// what a model library indexes from slot 0. Grows without ever dropping a cell.
template <class T, int FloorRows, int FloorColumns>
class TTable {
 public:
  TTable() : rows_(FloorRows), stride_(FloorColumns + 1), cells_(Size(rows_, stride_)) {}

  TRow<T> operator[](int r) {
    assert(r >= 0 && r <= rows_);
    return {cells_.data() + static_cast<std::size_t>(r) * stride_, stride_};
  }
  TRow<const T> operator[](int r) const {
    assert(r >= 0 && r <= rows_);
    return {cells_.data() + static_cast<std::size_t>(r) * stride_, stride_};
  }
  TRow<T> at(int r) {
    if (r < 0 || r > rows_) throw std::out_of_range("table row out of range");
    return (*this)[r];
  }
  TRow<const T> at(int r) const {
    if (r < 0 || r > rows_) throw std::out_of_range("table row out of range");
    return (*this)[r];
  }
  int Rows() const { return rows_; }
  int Columns() const { return stride_ - 1; }
  int Stride() const { return stride_; }
  T* data() { return cells_.data(); }
  const T* data() const { return cells_.data(); }

  // Makes room for rows 0..rows and columns 0..columns, keeping every cell.
  void Hold(int rows, int columns) {
    const int newRows = std::max(rows, rows_);
    const int newStride = std::max(columns + 1, stride_);
    if (newRows == rows_ && newStride == stride_) return;
    if (newStride == stride_) {
      cells_.resize(Size(newRows, newStride));
    } else {
      std::vector<T> grown(Size(newRows, newStride));
      for (int r = 0; r <= rows_; ++r)
        std::copy_n(cells_.begin() + static_cast<std::ptrdiff_t>(r) * stride_, stride_,
                    grown.begin() + static_cast<std::ptrdiff_t>(r) * newStride);
      cells_.swap(grown);
    }
    rows_ = newRows;
    stride_ = newStride;
  }
  void Fill(T value) { std::fill(cells_.begin(), cells_.end(), value); }
  bool operator==(const TTable&) const = default;

 private:
  static std::size_t Size(int rows, int stride) {
    return (static_cast<std::size_t>(rows) + 1) * static_cast<std::size_t>(stride);
  }
  int rows_;
  int stride_;
  std::vector<T> cells_;
};

}  // namespace zelk
