#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "template/column_statistics.h"

namespace brindlecot {

class RecordTable;
class UserInterface;

// Limits of a template definition; a file beyond them is refused, never cut.
inline constexpr std::size_t kMaxTemplateFields = 1024;
inline constexpr std::size_t kMaxTemplateToken = 2047;
inline constexpr std::size_t kMaxFieldName = 99;
inline constexpr std::size_t kMaxFieldValue = 1023;
inline constexpr std::size_t kMaxFieldType = 19;
// The longest value a field can hold; a type code declaring more (in its first part or in
// all its parts together) could only ever be met by padding, which would blow a batch up
// to gigabytes.
inline constexpr int kMaxFieldLength = 2047;
inline constexpr std::size_t kMaxSplitter = 9;

// Widths of the record table's columns.
inline constexpr int kRowNumberColumnWidth = 50;
inline constexpr int kFieldColumnWidth = 120;
inline constexpr int kErrorColumnWidth = 300;

struct FieldItem {
    // After loading: 1, 2, ... for the visible fields in list order (their record table
    // column), -1 for invisible ones; 0 while loading.
    int columnNumber = 0;
    int index = 0;             // position key from the file, unique within a template
    std::string name;          // GBK, at most kMaxFieldName bytes; the column heading
    std::string value;         // GBK default value, at most kMaxFieldValue bytes
    std::string type;          // type code, at most kMaxFieldType bytes (field_rules.h)
    bool visible = false;      // has a record table column
    bool isRequisite = false;  // a value is required
    friend bool operator==(const FieldItem&, const FieldItem&) = default;
};

// One template definition (conf/<name>.cfg) in memory.
struct Template {
    std::string name;  // GBK; window title and caption of every message about it
    int typeLens = 0;  // record length; equals the sum of the fields' total lengths
    bool inXls = false;
    bool inTxt = false;
    bool outXls = false;
    bool outTxt = false;
    bool inNeedDescrypt = false;
    bool outNeedEncrypt = false;
    bool needFill = false;
    bool hasSplitter = false;
    std::string splitter;  // at most kMaxSplitter bytes
    std::vector<StatisticsEntry> statistics;
    std::vector<FieldItem> fields;  // ascending by index once loaded

    int FieldCount() const { return static_cast<int>(fields.size()); }
};

// Why a definition was refused: a "DialogModelDlg" catalogue key with its arguments, or,
// for a file beyond the limits (no catalogue key exists for those), a fixed text.
struct TemplateLoadError {
    using Argument = std::variant<std::string, long long>;

    std::string key;  // a "DialogModelDlg" key
    std::vector<Argument> arguments;

    // The message as shown to the person.
    std::string Text() const;
};

struct TemplateLoadResult {
    bool loaded = false;
    // Set on every failure that has a message; a file that cannot be opened or has no
    // field block fails without one.
    std::optional<TemplateLoadError> error;
};

// Reads the definition file at `path` into `definition` (whose name is already set),
// showing nothing. On failure the fields read so far stay; clear them with ClearFields.
TemplateLoadResult ReadTemplateDefinition(Template& definition, const std::string& path);

// ReadTemplateDefinition, and the failure's message shown with the template's name as
// caption.
bool LoadTemplate(Template& definition, const std::string& path, UserInterface& ui);

// Appends a copy of `field`; false when a field with its index is there already.
bool AddField(Template& definition, const FieldItem& field);
const FieldItem* FindFieldByIndex(const Template& definition, int index);
// Exact, byte for byte.
const FieldItem* FindFieldByName(const Template& definition, std::string_view name);
// The visible field shown in record table column `column` (1-based).
const FieldItem* FindFieldByColumn(const Template& definition, int column);
void ClearFields(Template& definition);

// Gives the table its columns (and no rows): row numbers ("DialogModelDlg" msg18), one
// column per visible field in list order headed by its name, the error column (msg19).
void BuildRecordColumns(const Template& definition, RecordTable& table);

// The first field column whose heading equals `heading` byte for byte, or -1. Only field
// columns are searched, never the row number or error column.
int FindColumnByHeading(const Template& definition, const RecordTable& table,
                        std::string_view heading);

}  // namespace brindlecot
