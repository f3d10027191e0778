#include "base/platform/gbk_codec.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace brindlecot::platform {
namespace {

// iconv's own failure value, an integer cast to its handle type by its interface.
const iconv_t kIconvFailed = reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenConverter(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == kIconvFailed)
        return IconvHandle{};
    return IconvHandle{cd};
}

// One converter per direction and thread, opened once: opening one costs far more than
// converting a cell, and a grid converts hundreds of cells per paint.
enum class Direction { ToUtf8, ToGbk };

iconv_t CachedConverter(Direction direction) {
    thread_local IconvHandle toUtf8 = OpenConverter("UTF-8", "GBK");
    thread_local IconvHandle toGbk = OpenConverter("GBK", "UTF-8");
    void* cd = direction == Direction::ToGbk ? toGbk.get() : toUtf8.get();
    if (cd == nullptr)
        return kIconvFailed;
    // Back to the initial shift state, whatever a failed conversion left behind.
    iconv(static_cast<iconv_t>(cd), nullptr, nullptr, nullptr, nullptr);
    return static_cast<iconv_t>(cd);
}

std::optional<std::string> Convert(Direction direction, std::string_view input) {
    const iconv_t converter = CachedConverter(direction);
    if (converter == kIconvFailed)
        return std::nullopt;
    std::string output(input.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    size_t written = 0;
    while (true) {
        char* out = output.data() + written;
        size_t outLeft = output.size() - written;
        size_t rc = iconv(converter, inLeft ? &in : nullptr, &inLeft, &out, &outLeft);
        written = output.size() - outLeft;
        if (rc != static_cast<size_t>(-1)) {
            // glibc counts irreversible conversions in rc; for GBK/UTF-8 those would be
            // silent substitutions, which we refuse.
            if (rc != 0)
                return std::nullopt;
            if (inLeft == 0)
                break;
            continue;
        }
        if (errno != E2BIG)
            return std::nullopt;
        output.resize(output.size() * 2);
    }
    output.resize(written);
    return output;
}

}  // namespace

std::optional<std::string> ConvertGbkToUtf8(std::string_view gbk) {
    return Convert(Direction::ToUtf8, gbk);
}

std::optional<std::string> ConvertUtf8ToGbk(std::string_view utf8) {
    return Convert(Direction::ToGbk, utf8);
}

}  // namespace brindlecot::platform
