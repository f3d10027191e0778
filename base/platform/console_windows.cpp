#include "base/platform/console.h"

#include "base/platform/native_text.h"

#include <windows.h>

#include <iostream>
#include <streambuf>

namespace brindlecot::platform {
namespace {

// Collects UTF-8 and hands it on, converted, whole lines at a time (a character never
// straddles two conversions) and whenever the stream is flushed.
class CodePageBuffer : public std::streambuf {
public:
    CodePageBuffer(std::streambuf* target, unsigned codePage)
        : target_(target), codePage_(codePage) {}
    ~CodePageBuffer() override { sync(); }
    std::streambuf* Target() const { return target_; }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        pending_.push_back(traits_type::to_char_type(c));
        if (c == '\n' && sync() != 0)
            return traits_type::eof();
        return c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        for (std::streamsize i = 0; i < count; ++i)
            if (traits_type::eq_int_type(overflow(traits_type::to_int_type(text[i])),
                                         traits_type::eof()))
                return i;
        return count;
    }
    int sync() override {
        if (pending_.empty())
            return target_->pubsync();
        std::string converted = pending_;
        if (const std::optional<std::wstring> wide = ToWide(CP_UTF8, pending_)) {
            // Characters the console cannot show become '?' rather than vanish.
            const int length = static_cast<int>(wide->size());
            const int size = WideCharToMultiByte(codePage_, 0, wide->data(), length, nullptr, 0,
                                                 nullptr, nullptr);
            if (size > 0) {
                converted.assign(static_cast<std::size_t>(size), '\0');
                WideCharToMultiByte(codePage_, 0, wide->data(), length, converted.data(), size,
                                    nullptr, nullptr);
            }
        }
        pending_.clear();
        const auto count = static_cast<std::streamsize>(converted.size());
        if (target_->sputn(converted.data(), count) != count)
            return -1;
        return target_->pubsync();
    }

private:
    std::streambuf* target_;
    unsigned codePage_;
    std::string pending_;
};

unsigned ConsoleCodePage() {
    // Without a console (output to a file or pipe) the ANSI code page is what a Windows
    // program reading the file expects.
    const UINT console = GetConsoleOutputCP();
    return console != 0 ? console : GetACP();
}

}  // namespace

void UseConsoleCodePage() {
    const unsigned codePage = ConsoleCodePage();
    if (codePage == CP_UTF8)
        return;
    // Put back before the streams' own final flush at exit, which would otherwise reach
    // buffers already destroyed.
    struct Converters {
        explicit Converters(unsigned page)
            : out(std::cout.rdbuf(), page), err(std::cerr.rdbuf(), page) {
            std::cout.rdbuf(&out);
            std::cerr.rdbuf(&err);
        }
        ~Converters() {
            std::cout.flush();
            std::cerr.flush();
            std::cout.rdbuf(out.Target());
            std::cerr.rdbuf(err.Target());
        }
        CodePageBuffer out;
        CodePageBuffer err;
    };
    static Converters converters(codePage);
}

std::optional<std::vector<std::string>> AnsiArguments(int argc, wchar_t** argv,
                                                      std::string& refused) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        std::optional<std::string> argument = WideToAnsi(argv[i]);
        if (!argument) {
            refused = FromWide(CP_UTF8, argv[i]).value_or("?");
            return std::nullopt;
        }
        arguments.push_back(std::move(*argument));
    }
    return arguments;
}

}  // namespace brindlecot::platform
