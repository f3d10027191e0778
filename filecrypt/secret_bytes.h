#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace brindlecot {

// Overwrites `size` bytes so that the compiler cannot drop the stores.
void WipeSecret(void* data, std::size_t size);

// Key text and its plain or encrypted forms must not linger in freed heap memory: every
// buffer this allocator hands back is wiped first, also when a vector grows.
template <class T>
struct WipingAllocator {
    using value_type = T;

    WipingAllocator() = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) { return std::allocator<T>{}.allocate(count); }
    void deallocate(T* data, std::size_t count) noexcept {
        WipeSecret(data, count * sizeof(T));
        std::allocator<T>{}.deallocate(data, count);
    }

    template <class U>
    bool operator==(const WipingAllocator<U>&) const noexcept {
        return true;
    }
};

using SecretBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

}  // namespace brindlecot
