// Storage for CArray elements that are trivially copyable and small (bytes,
// numbers, pointers, plain records): the first kInlineBytes of elements live
// inside the array object, so the short arrays the library keeps by the dozen
// (fault maps of at most 17 octets, fault number lists, time stamps) never
// touch the heap. Larger contents move to one heap block that grows by half.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace pelix::detail {

template <class T>
class SmallVector {
  static_assert(std::is_trivially_copyable<T>::value, "SmallVector holds trivially copyable elements");

 public:
  static constexpr size_t kInlineBytes = 32;
  static constexpr size_t kInlineCount = kInlineBytes / sizeof(T) > 0 ? kInlineBytes / sizeof(T) : 1;

  SmallVector() = default;
  SmallVector(const SmallVector& other) { Assign(other.data(), other.m_size); }
  SmallVector(SmallVector&& other) noexcept { Take(other); }
  SmallVector& operator=(const SmallVector& other) {
    if (this != &other) Assign(other.data(), other.m_size);
    return *this;
  }
  SmallVector& operator=(SmallVector&& other) noexcept {
    if (this != &other) {
      Release();
      Take(other);
    }
    return *this;
  }
  ~SmallVector() { Release(); }

  size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  T* data() { return m_heap != nullptr ? m_heap : InlineData(); }
  const T* data() const { return m_heap != nullptr ? m_heap : InlineData(); }
  T& operator[](size_t i) { return data()[i]; }
  const T& operator[](size_t i) const { return data()[i]; }
  T* begin() { return data(); }
  T* end() { return data() + m_size; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + m_size; }

  void clear() { m_size = 0; }

  // New elements are value-initialised (zero).
  void resize(size_t n) {
    Reserve(n);
    T* p = data();
    for (size_t i = m_size; i < n; ++i) p[i] = T();  // short runs: cheaper than a memset call
    m_size = n;
  }

  void push_back(const T& value) {
    const T copy = value;  // value may live in this array
    Reserve(m_size + 1);
    std::memcpy(static_cast<void*>(data() + m_size), &copy, sizeof(T));
    ++m_size;
  }

  void insert(size_t index, size_t count, const T& value) {
    const T copy = value;
    Reserve(m_size + count);
    T* p = data();
    std::memmove(static_cast<void*>(p + index + count), p + index, (m_size - index) * sizeof(T));
    for (size_t i = 0; i < count; ++i) std::memcpy(static_cast<void*>(p + index + i), &copy, sizeof(T));
    m_size += count;
  }

  void append(const T* values, size_t count) {
    if (count == 0) return;
    if (values >= data() && values < data() + m_size) {  // appending a part of itself
      SmallVector copy;
      copy.Assign(values, count);
      append(copy.data(), count);
      return;
    }
    Reserve(m_size + count);
    std::memcpy(static_cast<void*>(data() + m_size), values, count * sizeof(T));
    m_size += count;
  }

  void erase(size_t first, size_t last) {
    T* p = data();
    std::memmove(static_cast<void*>(p + first), p + last, (m_size - last) * sizeof(T));
    m_size -= last - first;
  }

 private:
  T* InlineData() { return reinterpret_cast<T*>(m_inline); }
  const T* InlineData() const { return reinterpret_cast<const T*>(m_inline); }
  size_t Capacity() const { return m_heap != nullptr ? m_capacity : kInlineCount; }

  void Reserve(size_t n) {
    if (n <= Capacity()) return;
    size_t capacity = Capacity() + Capacity() / 2;
    if (capacity < n) capacity = n;
    if (capacity > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    T* block = static_cast<T*>(std::malloc(capacity * sizeof(T)));
    if (block == nullptr) throw std::bad_alloc();
    if (m_size > 0) std::memcpy(static_cast<void*>(block), data(), m_size * sizeof(T));
    if (m_heap != nullptr) std::free(m_heap);
    m_heap = block;
    m_capacity = capacity;
  }

  void Assign(const T* values, size_t count) {
    m_size = 0;
    Reserve(count);
    if (count > 0) std::memcpy(static_cast<void*>(data()), values, count * sizeof(T));
    m_size = count;
  }

  void Take(SmallVector& other) noexcept {
    m_size = other.m_size;
    if (other.m_heap != nullptr) {
      m_heap = other.m_heap;
      m_capacity = other.m_capacity;
      other.m_heap = nullptr;
      other.m_capacity = 0;
    } else if (m_size > 0) {
      std::memcpy(m_inline, other.m_inline, m_size * sizeof(T));
    }
    other.m_size = 0;
  }

  void Release() noexcept {
    if (m_heap != nullptr) std::free(m_heap);  // most arrays never leave their inline storage
    m_heap = nullptr;
    m_capacity = 0;
    m_size = 0;
  }

  T* m_heap = nullptr;  // nullptr while the elements live inline
  size_t m_size = 0;
  size_t m_capacity = 0;  // of the heap block
  alignas(T) unsigned char m_inline[kInlineCount * sizeof(T)];
};

}  // namespace pelix::detail
