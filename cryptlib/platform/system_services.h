#pragma once

#include <cstddef>
#include <cstdint>

// The services of the operating system that the library needs beyond the C runtime's
// file calls: random bytes for session keys, whether two open files are one, and reading
// a large file in place through a view of its pages.
namespace kestrelvane {

// Fills `buffer` from the system's cryptographic random source; false when it fails.
bool FillFromSystemRandom(std::uint8_t* buffer, std::size_t length);

// True when the descriptors `a` and `b` are open on the same file; false when either
// cannot be asked.
bool SameOpenFile(int a, int b);

// A read-only view of the first bytes of an open regular file, or no view (empty) where
// the system offers none or refuses it: the file is then read as usual. Reads through the
// view belong inside ReadThroughView.
class FileView {
public:
    FileView(int fd, std::uint64_t size);
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;
    ~FileView();

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return data_ == nullptr; }
    // Lets go of the pages wholly among the bytes from offset on, length of them: they will
    // not be read again. Letting them go a few MiB at a time, while the work goes on, saves
    // tearing down the whole view at the end.
    void Release(std::size_t offset, std::size_t length) const;

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// Runs work(context), which reads through a FileView. Another program may shrink the file
// meanwhile; when the work touches a page the file no longer has, it is cut short and the
// answer is false, where the process would otherwise be killed.
bool ReadThroughView(void (*work)(void*), void* context);

}  // namespace kestrelvane
