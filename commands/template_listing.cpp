#include "commands/template_listing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/app_path.h"
#include "base/gbk_text.h"

namespace brindlecot {
namespace {

std::string SortKey(const std::string& name) {
    // The chooser sorts as the Chinese system does, and GBK's order of the common
    // characters is their pinyin order; UTF-8 bytes would order them by radical.
    std::string key = Utf8ToGbk(name).value_or(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    return key;
}

}  // namespace

std::string TemplateFolder() {
    return AppPath("conf/");
}

std::string TemplatePath(const std::string& name) {
    return TemplateFolder() + name + ".cfg";
}

bool TemplateNameLess(const std::string& left, const std::string& right) {
    const std::string leftKey = SortKey(left);
    const std::string rightKey = SortKey(right);
    if (leftKey != rightKey)
        return leftKey < rightKey;
    return left < right;  // names equal but for case still get a fixed order
}

std::vector<std::string> ListTemplateNames(const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> keyed;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error)
        return {};
    for (const auto& entry : entries) {
        std::error_code typeError;
        if (!entry.is_regular_file(typeError))
            continue;
        const std::string fileName = entry.path().filename().string();
        const std::size_t dot = fileName.rfind('.');
        if (dot == std::string::npos || dot == 0 ||
            fileName.compare(dot, std::string::npos, ".cfg") != 0)
            continue;
        std::string name = fileName.substr(0, dot);
        keyed.emplace_back(SortKey(name), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> names;
    names.reserve(keyed.size());
    for (auto& [key, name] : keyed)
        names.push_back(std::move(name));
    return names;
}

}  // namespace brindlecot
