#include "gui/app/file_filter.h"

#include "base/trim.h"

namespace brindlecot {
namespace {

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return parts;
}

}  // namespace

std::vector<FileFilterEntry> ParseCatalogueFilter(std::string_view utf8Filter) {
    std::vector<FileFilterEntry> entries;
    const std::vector<std::string_view> parts = Split(utf8Filter, '|');
    // The list ends at the first empty description ("||" closes a Windows filter).
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty())
            break;
        FileFilterEntry entry{std::string{parts[i]}, {}};
        for (std::string_view pattern : Split(parts[i + 1], ';')) {
            pattern = Trim(pattern, " ");
            if (!pattern.empty())
                entry.patterns.emplace_back(pattern);
        }
        if (!entry.patterns.empty())
            entries.push_back(std::move(entry));
    }
    return entries;
}

std::string ToQtNameFilter(const FileFilterEntry& entry) {
    std::string_view description = entry.description;
    const size_t open = description.rfind('(');
    if (open != std::string_view::npos && Trim(description, " ").ends_with(')')) {
        description = description.substr(0, open);
    }
    description = Trim(description, " ");
    std::string filter{description};
    if (!filter.empty())
        filter += ' ';
    filter += '(';
    for (size_t i = 0; i < entry.patterns.size(); ++i) {
        if (i > 0)
            filter += ' ';
        filter += entry.patterns[i];
    }
    filter += ')';
    return filter;
}

std::string DefaultSuffixFor(const FileFilterEntry& entry) {
    if (entry.patterns.size() != 1)
        return {};
    std::string_view pattern = entry.patterns.front();
    if (!pattern.starts_with("*."))
        return {};
    pattern.remove_prefix(2);
    if (pattern.empty() || pattern.find_first_of("*?[") != std::string_view::npos)
        return {};
    return std::string{pattern};
}

std::optional<std::string> ExtensionAfterTypeChange(int typeIndex) {
    switch (typeIndex) {
        case 0:
            return std::string();
        case 1:
            return std::string("txt");
        case 2:
            return std::string("xls");
        default:
            return std::nullopt;
    }
}

}  // namespace brindlecot
