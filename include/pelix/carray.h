// CArray<T, ARG>: a growable array indexed from 0 whose every index is
// checked; a bad index throws CInvalidArgException. ARG is the type in which
// elements are passed in (kept for the familiar two-parameter spelling).
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "pelix/exceptions.h"
#include "pelix/win_types.h"

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
    if (static_cast<size_t>(index) >= m_data.size()) m_data.resize(static_cast<size_t>(index) + 1);
    m_data[static_cast<size_t>(index)] = element;
  }
  // New elements are value-initialised (zero for numbers and pointers).
  void SetSize(int newSize) {
    if (newSize < 0) throw CInvalidArgException("CArray size is negative");
    m_data.resize(static_cast<size_t>(newSize));
  }
  void InsertAt(int index, ARG element, int count = 1) {
    if (index < 0 || index > GetSize() || count < 0) throw CInvalidArgException("CArray index out of range");
    m_data.insert(m_data.begin() + index, static_cast<size_t>(count), element);
  }
  void RemoveAt(int index, int count = 1) {
    if (index < 0 || count < 0 || index > GetSize() || count > GetSize() - index) {
      throw CInvalidArgException("CArray index out of range");
    }
    m_data.erase(m_data.begin() + index, m_data.begin() + index + count);
  }
  void RemoveAll() { m_data.clear(); }
  int Append(const CArray& other) {
    const int first = GetSize();
    m_data.insert(m_data.end(), other.m_data.begin(), other.m_data.end());
    return first;
  }
  void Copy(const CArray& other) { m_data = other.m_data; }

  T* GetData() { return m_data.data(); }
  const T* GetData() const { return m_data.data(); }

  typename std::vector<T>::iterator begin() { return m_data.begin(); }
  typename std::vector<T>::iterator end() { return m_data.end(); }
  typename std::vector<T>::const_iterator begin() const { return m_data.begin(); }
  typename std::vector<T>::const_iterator end() const { return m_data.end(); }

 private:
  size_t Checked(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_data.size()) {
      throw CInvalidArgException("CArray index out of range");
    }
    return static_cast<size_t>(index);
  }

  std::vector<T> m_data;
};

typedef CArray<BYTE, BYTE> CByteArray;
