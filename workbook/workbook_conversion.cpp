#include "workbook/workbook_conversion.h"
#include "base/catalogue/dialog_single_file_crypt_keys.h"
#include "base/catalogue/stdafx_keys.h"

#include <cstdio>
#include <memory>

#include "base/file_content.h"
#include "base/message_catalogue.h"

namespace brindlecot {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void ShowWithDetail(UserInterface& ui, CatalogueKey key, const WorkbookStatus& status) {
    std::string text = LoadMessage(key);
    const std::string detail = DescribeWorkbookFailure(status);
    if (!detail.empty())
        text += (text.empty() ? "" : "\n") + detail;
    ui.ShowMessage(kWorkbookMessageCaption, text);
}

}  // namespace

bool WriteDelimitedText(const std::string& path, const TextTable& table, char separator) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb+"));
    if (!file)
        return false;
    std::string line;
    bool written = true;
    for (const auto& row : table) {
        line.clear();
        for (std::size_t j = 0; j < row.size(); ++j) {
            line += row[j];
            if (separator != '\0' && j + 1 < row.size())
                line += separator;
        }
        line += "\r\n";
        written = written && std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();
    }
    std::FILE* raw = file.release();
    return std::fclose(raw) == 0 && written;
}

bool ConvertWorkbookToText(UserInterface& ui, const std::string& workbookPath,
                           const std::string& textPath, char separator) {
    TextTable table;
    const WorkbookStatus status = ReadWorkbook(workbookPath, table);
    if (!status.ok()) {
        std::remove(textPath.c_str());
        ShowWithDetail(ui, catalogue::stdafx::kWorkbookToTextReadFailed, status);
        return false;
    }
    if (!WriteDelimitedText(textPath, table, separator)) {
        std::remove(textPath.c_str());
        ui.ShowMessage(kWorkbookMessageCaption,
                       LoadMessage(catalogue::stdafx::kWorkbookToTextWriteFailed));
        return false;
    }
    return true;
}

TextTable SplitDelimitedText(const std::string& text, char separator) {
    TextTable rows;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        start = end + 1;
        if (line.empty())
            continue;
        TextRow& row = rows.emplace_back();
        if (separator == '\0') {
            row.emplace_back(line);
            continue;
        }
        // Only a separator that stands for itself cuts: the same byte as the second half of
        // a two-byte GBK character (possible for separators from 0x40 up, such as '|') is
        // part of that character.
        std::size_t from = 0;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const auto byte = static_cast<unsigned char>(line[i]);
            if (byte >= 0x81 && byte <= 0xFE && i + 1 < line.size()) {
                ++i;
            } else if (line[i] == separator) {
                row.emplace_back(line.substr(from, i - from));
                from = i + 1;
            }
        }
        row.emplace_back(line.substr(from));
    }
    return rows;
}

bool ConvertTextToWorkbook(UserInterface& ui, const std::string& textPath,
                           const std::string& workbookPath, char separator) {
    const std::optional<std::string> text = ReadWholeFile(textPath);
    if (!text)
        return false;
    const WorkbookStatus status = WriteWorkbook(workbookPath, SplitDelimitedText(*text, separator));
    if (!status.ok()) {
        ShowWithDetail(ui, catalogue::DialogSingleFileCrypt::kWorkbookWriteFailed, status);
        return false;
    }
    return true;
}

void ShowWorkbookReadFailure(UserInterface& ui, const WorkbookStatus& status) {
    ShowWithDetail(ui, catalogue::stdafx::kWorkbookReadFailed, status);
}

void ShowWorkbookWriteFailure(UserInterface& ui, const WorkbookStatus& status) {
    ShowWithDetail(ui, catalogue::stdafx::kWorkbookWriteFailed, status);
}

}  // namespace brindlecot
