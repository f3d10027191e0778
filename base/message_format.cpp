#include "base/message_format.h"

#include <string>

namespace brindlecot {

std::string FormatMessage(std::string_view format,
                          std::initializer_list<MessageArgument> arguments) {
    std::string result;
    result.reserve(format.size() + 64);
    auto next = arguments.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            result += c;
            continue;
        }
        const char conversion = format[i + 1];
        if (conversion == '%') {
            result += '%';
            ++i;
            continue;
        }
        // '%' is never the second byte of a GBK character, so this test is safe on GBK text.
        if (next != arguments.end()) {
            if (conversion == 's' && std::holds_alternative<std::string_view>(*next)) {
                result += std::get<std::string_view>(*next);
                ++next;
                ++i;
                continue;
            }
            if (conversion == 'd' && std::holds_alternative<long long>(*next)) {
                result += std::to_string(std::get<long long>(*next));
                ++next;
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

}  // namespace brindlecot
