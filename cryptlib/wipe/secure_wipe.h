#pragma once

#include <cstddef>

namespace kestrelvane {

// Overwrites key material with zeros in a way the optimiser may not drop, even when the
// buffer is never read again.
void SecureWipe(void* data, std::size_t size);

// Wipes an object (a key, a schedule, a work buffer) when the scope it guards ends, on
// every return path.
template <typename T>
class WipeOnExit {
public:
    explicit WipeOnExit(T& object) : object_(object) {}
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;
    ~WipeOnExit() { SecureWipe(&object_, sizeof(T)); }

private:
    T& object_;
};

}  // namespace kestrelvane
