#pragma once
// Storage for a grid's large arrays that reads as zero until written. Growing never fills memory: large
// arrays are mappings of their own, whose fresh pages the kernel hands out as zero when they are first
// touched (and grows in place or moves without copying), small ones keep their spare room zeroed.
// The pages stay small: huge pages (madvise MADV_HUGEPAGE) cut the page faults of a first fill of ten
// million rows by eight but made that fill slower, each 2 MiB being zeroed at once ahead of the writes.
// Only for trivially copyable element types.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

class TZeroedBytes {
public:
    TZeroedBytes() = default;
    TZeroedBytes(const TZeroedBytes&) = delete;
    TZeroedBytes& operator=(const TZeroedBytes&) = delete;
    TZeroedBytes(TZeroedBytes&& other) noexcept { swap(other); }
    TZeroedBytes& operator=(TZeroedBytes&& other) noexcept {
        TZeroedBytes(std::move(other)).swap(*this);
        return *this;
    }
    ~TZeroedBytes() { release(); }

    std::uint8_t* data() { return m_data; }
    const std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    std::size_t capacity() const { return m_capacity; }
    // Bytes added read as zero; bytes kept keep their values. Throws std::bad_alloc.
    void resize(std::size_t bytes);
    // Room for bytes without moving the data again when growing to them.
    void reserve(std::size_t bytes);
    void swap(TZeroedBytes& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
        std::swap(m_mapped, other.m_mapped);
    }

private:
    void release();
    void setCapacity(std::size_t bytes);

    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0; // bytes m_size .. m_capacity - 1 are zero
    bool m_mapped = false;      // a mapping of its own, else from the heap
};

template <class T> class TZeroedArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    std::size_t size() const { return m_bytes.size() / sizeof(T); }
    bool empty() const { return m_bytes.size() == 0; }
    std::size_t capacity() const { return m_bytes.capacity() / sizeof(T); }
    void resize(std::size_t count) { m_bytes.resize(count * sizeof(T)); }
    void reserve(std::size_t count) { m_bytes.reserve(count * sizeof(T)); }
    void clear() { m_bytes.resize(0); }
    T* data() { return reinterpret_cast<T*>(m_bytes.data()); }
    const T* data() const { return reinterpret_cast<const T*>(m_bytes.data()); }
    T& operator[](std::size_t i) { return data()[i]; }
    const T& operator[](std::size_t i) const { return data()[i]; }
    T* begin() { return data(); }
    T* end() { return data() + size(); }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size(); }
    void swap(TZeroedArray& other) noexcept { m_bytes.swap(other.m_bytes); }

private:
    TZeroedBytes m_bytes;
};
