// CArray<T, ARG>: a growable array indexed from 0 whose every index is
// checked; a bad index throws CInvalidArgException. ARG is the type in which
// elements are passed in (kept for the familiar two-parameter spelling).
// Small plain elements are kept inline up to 32 bytes (see small_vector.h).
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>
#include <vector>

#include "pelix/exceptions.h"
#include "pelix/small_vector.h"
#include "pelix/win_types.h"

namespace pelix::detail {

// The same interface as SmallVector over std::vector, for elements that are
// not small and trivially copyable (strings, records holding strings).
template <class T>
class VectorStorage {
 public:
  size_t size() const { return m_items.size(); }
  bool empty() const { return m_items.empty(); }
  T* data() { return m_items.data(); }
  const T* data() const { return m_items.data(); }
  T& operator[](size_t i) { return m_items[i]; }
  const T& operator[](size_t i) const { return m_items[i]; }
  void clear() { m_items.clear(); }
  void resize(size_t n) { m_items.resize(n); }
  void push_back(const T& value) { m_items.push_back(value); }
  void insert(size_t index, size_t count, const T& value) {
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(index), count, value);
  }
  void append(const T* values, size_t count) {
    std::vector<T> copy(values, values + count);  // values may live in this array
    m_items.insert(m_items.end(), copy.begin(), copy.end());
  }
  void erase(size_t first, size_t last) {
    m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(first),
                  m_items.begin() + static_cast<std::ptrdiff_t>(last));
  }

 private:
  std::vector<T> m_items;
};

template <class T>
using ArrayStorage = typename std::conditional<std::is_trivially_copyable<T>::value && sizeof(T) <= 16 &&
                                                   alignof(T) <= alignof(std::max_align_t),
                                               SmallVector<T>, VectorStorage<T>>::type;

}  // namespace pelix::detail

template <class T, class ARG = const T&>
class CArray {
 public:
  CArray() = default;

  int GetSize() const { return static_cast<int>(m_data.size()); }
  int GetCount() const { return GetSize(); }
  int GetUpperBound() const { return GetSize() - 1; }
  bool IsEmpty() const { return m_data.empty(); }

  const T& GetAt(int index) const { return m_data[Checked(index)]; }
  T& GetAt(int index) { return m_data[Checked(index)]; }
  T& ElementAt(int index) { return m_data[Checked(index)]; }
  const T& operator[](int index) const { return m_data[Checked(index)]; }
  T& operator[](int index) { return m_data[Checked(index)]; }
  void SetAt(int index, ARG element) { m_data[Checked(index)] = element; }

  // Appends and returns the new element's index.
  int Add(ARG element) {
    m_data.push_back(element);
    return GetSize() - 1;
  }
  // Sets the element at index, growing the array (with default elements)
  // when index is at or past the end. A negative index throws.
  void SetAtGrow(int index, ARG element) {
    if (index < 0) throw CInvalidArgException("CArray index out of range");
    if (static_cast<size_t>(index) >= m_data.size()) {
      const T copy = element;  // element may live in this array
      m_data.resize(static_cast<size_t>(index) + 1);
      m_data[static_cast<size_t>(index)] = copy;
      return;
    }
    m_data[static_cast<size_t>(index)] = element;
  }
  // New elements are value-initialised (zero for numbers and pointers).
  void SetSize(int newSize) {
    if (newSize < 0) throw CInvalidArgException("CArray size is negative");
    m_data.resize(static_cast<size_t>(newSize));
  }
  void InsertAt(int index, ARG element, int count = 1) {
    if (index < 0 || index > GetSize() || count < 0) throw CInvalidArgException("CArray index out of range");
    m_data.insert(static_cast<size_t>(index), static_cast<size_t>(count), element);
  }
  void RemoveAt(int index, int count = 1) {
    if (index < 0 || count < 0 || index > GetSize() || count > GetSize() - index) {
      throw CInvalidArgException("CArray index out of range");
    }
    m_data.erase(static_cast<size_t>(index), static_cast<size_t>(index) + static_cast<size_t>(count));
  }
  void RemoveAll() { m_data.clear(); }
  int Append(const CArray& other) {
    const int first = GetSize();
    m_data.append(other.m_data.data(), other.m_data.size());
    return first;
  }
  void Copy(const CArray& other) {
    if (this != &other) m_data = other.m_data;
  }

  T* GetData() { return m_data.data(); }
  const T* GetData() const { return m_data.data(); }

  T* begin() { return m_data.data(); }
  T* end() { return m_data.data() + m_data.size(); }
  const T* begin() const { return m_data.data(); }
  const T* end() const { return m_data.data() + m_data.size(); }

 private:
  size_t Checked(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_data.size()) {
      throw CInvalidArgException("CArray index out of range");
    }
    return static_cast<size_t>(index);
  }

  pelix::detail::ArrayStorage<T> m_data;
};

typedef CArray<BYTE, BYTE> CByteArray;
