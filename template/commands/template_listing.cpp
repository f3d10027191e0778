#include "template/commands/template_listing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace brindlecot {
namespace {

unsigned char FoldCase(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

}  // namespace

bool TemplateNameLess(const std::string& left, const std::string& right) {
    const auto folded = [](char a, char b) {
        return FoldCase(static_cast<unsigned char>(a)) < FoldCase(static_cast<unsigned char>(b));
    };
    if (std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(), folded)) return true;
    if (std::lexicographical_compare(right.begin(), right.end(), left.begin(), left.end(), folded)) return false;
    return left < right;  // names equal but for case still get a fixed order
}

std::vector<std::string> ListTemplateNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error) return names;
    for (const auto& entry : entries) {
        std::error_code typeError;
        if (!entry.is_regular_file(typeError)) continue;
        const std::string fileName = entry.path().filename().string();
        const std::size_t dot = fileName.rfind('.');
        if (dot == std::string::npos || dot == 0 || fileName.compare(dot, std::string::npos, ".cfg") != 0) continue;
        names.push_back(fileName.substr(0, dot));
    }
    std::sort(names.begin(), names.end(), TemplateNameLess);
    return names;
}

}  // namespace brindlecot
