#pragma once

// Small pieces the in-memory services share.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "cryptlib/wipe/secure_wipe.h"

namespace kestrelvane {

// A heap work copy that holds plaintext or key bytes: wiped before it is released.
class WorkBuffer {
 public:
  explicit WorkBuffer(std::size_t size)
      : size_(size), data_(new (std::nothrow) std::uint8_t[size == 0 ? 1 : size]()) {}
  WorkBuffer(const WorkBuffer&) = delete;
  WorkBuffer& operator=(const WorkBuffer&) = delete;
  ~WorkBuffer() {
    if (data_) SecureWipe(data_.get(), size_);
  }
  bool valid() const { return data_ != nullptr; }
  std::uint8_t* data() { return data_.get(); }
  std::size_t size() const { return size_; }

 private:
  std::size_t size_;
  std::unique_ptr<std::uint8_t[]> data_;
};

constexpr bool IsWholeBlocks(std::int32_t length) { return length > 0 && length % 8 == 0; }

}  // namespace kestrelvane
