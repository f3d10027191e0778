#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brindlecot {

// One file type of a file dialog: what the person reads and the name patterns it admits.
struct FileFilterEntry {
    std::string description;
    std::vector<std::string> patterns;
};

// Splits a catalogue filter such as "文本文件(*.txt)|*.txt|所有文件(*.*)|*.*||" (UTF-8:
// in GBK a '|' can be the second byte of a character) into its file types. Pairs are
// description, patterns; patterns are separated by ';'. A description without patterns
// is dropped, as the Windows dialog does.
std::vector<FileFilterEntry> ParseCatalogueFilter(std::string_view utf8Filter);

// Qt's form of one file type, "文本文件 (*.txt)": Qt takes the patterns from the last
// parenthesised group, so the catalogue's own group is replaced by the real patterns.
std::string ToQtNameFilter(const FileFilterEntry& entry);

// The extension a save dialog adds to a name typed without one while this file type is
// selected: "txt" for "*.txt", nothing for "*.*" or for several patterns.
std::string DefaultSuffixFor(const FileFilterEntry& entry);

// The rule of the single-file dialog's save dialog (CFileDlgRe): selecting the file type
// at `typeIndex` (from 0) sets the extension added to a name typed without one by the
// type's place in the filter, whatever its patterns: none for the first type, "txt" for
// the second, "xls" for the third. Any other place answers nothing: the setting made
// before stays.
std::optional<std::string> ExtensionAfterTypeChange(int typeIndex);

}  // namespace brindlecot
