#pragma once

// Small pieces the in-memory services share.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "cryptlib/wipe/secure_wipe.h"

namespace kestrelvane {

// A heap work copy that holds plaintext or key bytes: wiped before it is released. The
// C allocator keeps the library free of the C++ runtime's allocation functions.
class WorkBuffer {
public:
    explicit WorkBuffer(std::size_t size)
        : size_(size), data_(static_cast<std::uint8_t*>(std::calloc(size == 0 ? 1 : size, 1))) {}
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;
    ~WorkBuffer() {
        if (data_ != nullptr) {
            SecureWipe(data_, size_);
            std::free(data_);
        }
    }
    bool valid() const { return data_ != nullptr; }
    std::uint8_t* data() { return data_; }
    std::size_t size() const { return size_; }

private:
    std::size_t size_;
    std::uint8_t* data_;
};

constexpr bool IsWholeBlocks(std::int32_t length) {
    return length > 0 && length % 8 == 0;
}

}  // namespace kestrelvane
