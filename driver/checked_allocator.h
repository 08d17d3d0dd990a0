#pragma once
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <new>
#include <vector>

namespace orvale {

// Allocates through malloc and reports failure as std::bad_alloc, so that a table too large
// for the machine is a logged, catchable failure everywhere, sanitizer builds included
// (their operator new aborts instead of throwing).
template <class T>
struct CheckedAllocator {
    using value_type = T;
    CheckedAllocator() = default;
    template <class U>
    CheckedAllocator(const CheckedAllocator<U>&) noexcept {}

    T* allocate(std::size_t n)
    {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
        void* p = std::malloc(n * sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) noexcept { std::free(p); }

    template <class U>
    bool operator==(const CheckedAllocator<U>&) const noexcept { return true; }
};

template <class T>
using CheckedVector = std::vector<T, CheckedAllocator<T>>;

}  // namespace orvale
