// Reading a file in place through a view: the bytes are the file's, also after pages were
// let go; a file cut short under the view fails the read instead of killing the process,
// and bus errors that are not the view's still end the process as they would have.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "cryptlib/platform/system_services.h"
#include "test_support.h"
#include "tests/support/test_files.h"

namespace kestrelvane {
namespace {

using brindlecot::testing::TempFolder;
using test::Bytes;

struct ByteRead {
    const FileView* view;
    std::size_t at;
    std::uint8_t byte;
};

void ReadOneByte(void* context) {
    ByteRead& read = *static_cast<ByteRead*>(context);
    read.byte = *static_cast<const volatile std::uint8_t*>(read.view->data() + read.at);
}

void TouchACutPage(const std::filesystem::path& path, const FileView& view) {
    if (::truncate(path.c_str(), 0) == 0) {
        ByteRead read{&view, 4096, 0};
        ReadOneByte(&read);
    }
}

class OpenFile {
public:
    explicit OpenFile(const std::filesystem::path& path) : fd_(::open(path.c_str(), O_RDONLY)) {}
    ~OpenFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int fd() const { return fd_; }

private:
    int fd_;
};

TEST(FileView, ReadsTheFileAndOutlivesItsTruncation) {
    TempFolder folder;
    const auto path = folder / "file";
    const Bytes content = test::RandomBytes(3 * 4096 + 100, 61);
    test::WriteFile(path, content);
    const OpenFile file(path);
    ASSERT_GE(file.fd(), 0);
    EXPECT_TRUE(FileView(file.fd(), 0).empty());

    const FileView view(file.fd(), content.size());
    ASSERT_FALSE(view.empty());
    ASSERT_EQ(view.size(), content.size());
    ByteRead read{&view, 2 * 4096 + 7, 0};
    EXPECT_TRUE(ReadThroughView(ReadOneByte, &read));
    EXPECT_EQ(read.byte, content[read.at]);

    // Pages let go are read again from the file when touched.
    view.Release(1, 3 * 4096);
    read.at = 4096 + 9;
    EXPECT_TRUE(ReadThroughView(ReadOneByte, &read));
    EXPECT_EQ(read.byte, content[read.at]);
    read.at = 2 * 4096 + 7;

    ASSERT_EQ(::truncate(path.c_str(), 4096), 0);
    EXPECT_FALSE(ReadThroughView(ReadOneByte, &read));
    // The page still in the file reads, and a second fault is caught as the first was.
    read.at = 100;
    EXPECT_TRUE(ReadThroughView(ReadOneByte, &read));
    EXPECT_EQ(read.byte, content[100]);
    read.at = 4096 + 1;
    EXPECT_FALSE(ReadThroughView(ReadOneByte, &read));
}

TEST(FileViewDeathTest, BusErrorsOutsideAViewReadStillEndTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempFolder folder;
    const auto path = folder / "file";
    test::WriteFile(path, test::RandomBytes(2 * 4096, 62));
    const OpenFile file(path);
    const FileView view(file.fd(), 2 * 4096);
    ASSERT_FALSE(view.empty());

    EXPECT_DEATH(raise(SIGBUS), "");
    EXPECT_DEATH(TouchACutPage(path, view), "");
}

}  // namespace
}  // namespace kestrelvane
