#include "grids/model/ZeroedArray.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t MapFrom = std::size_t(1) << 20; // smaller arrays live on the heap

std::size_t pageSize() {
    static const std::size_t size = std::size_t(sysconf(_SC_PAGESIZE));
    return size;
}

std::size_t roundToPages(std::size_t bytes) {
    const std::size_t page = pageSize();
    return (bytes + page - 1) / page * page;
}

} // namespace

void TZeroedBytes::release() {
    if (m_data) {
        if (m_mapped)
            munmap(m_data, m_capacity);
        else
            std::free(m_data);
    }
    m_data = nullptr;
    m_size = m_capacity = 0;
    m_mapped = false;
}

// Moves the data into a block of the given capacity (a page multiple when mapped); the spare room of the
// new block is zero.
void TZeroedBytes::setCapacity(std::size_t bytes) {
    if (bytes == 0) {
        release();
        return;
    }
    if (bytes >= MapFrom) {
        bytes = roundToPages(bytes);
        void* p;
        if (m_mapped) {
            p = mremap(m_data, m_capacity, bytes, MREMAP_MAYMOVE);
        } else {
            p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (p != MAP_FAILED && m_size > 0) std::memcpy(p, m_data, m_size);
            if (p != MAP_FAILED) std::free(m_data);
        }
        if (p == MAP_FAILED) throw std::bad_alloc();
        m_data = static_cast<std::uint8_t*>(p);
        m_capacity = bytes;
        m_mapped = true;
        return;
    }
    auto* p = static_cast<std::uint8_t*>(std::calloc(bytes, 1));
    if (!p) throw std::bad_alloc();
    if (m_size > 0) std::memcpy(p, m_data, std::min(m_size, bytes));
    if (m_mapped)
        munmap(m_data, m_capacity);
    else
        std::free(m_data);
    m_data = p;
    m_capacity = bytes;
    m_mapped = false;
}

void TZeroedBytes::reserve(std::size_t bytes) {
    if (bytes > m_capacity) setCapacity(bytes);
}

void TZeroedBytes::resize(std::size_t bytes) {
    if (bytes > m_capacity) {
        setCapacity(std::max(bytes, m_capacity + m_capacity / 2));
    } else if (bytes < m_size) {
        // The bytes dropped must read as zero when the array grows again.
        if (bytes <= m_capacity / 4) {
            // Mostly empty now: give the memory back.
            std::memset(m_data + bytes, 0, std::min(m_size, roundToPages(bytes)) - bytes);
            m_size = bytes;
            setCapacity(bytes);
        } else if (m_mapped && m_size - bytes >= MapFrom) {
            const std::size_t keep = roundToPages(bytes);
            std::memset(m_data + bytes, 0, keep - bytes);
            if (m_size > keep) madvise(m_data + keep, roundToPages(m_size) - keep, MADV_DONTNEED);
        } else {
            std::memset(m_data + bytes, 0, m_size - bytes);
        }
    }
    m_size = bytes;
}
