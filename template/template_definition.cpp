#include "template/template_definition.h"
#include "base/catalogue/dialog_model_dlg_keys.h"

#include <algorithm>

#include "base/file_content.h"
#include "base/gbk_text.h"
#include "base/message_catalogue.h"
#include "base/message_format.h"
#include "base/token_stream.h"
#include "base/user_interface.h"
#include "template/field_rules.h"
#include "template/number_text.h"
#include "template/record_table.h"

namespace brindlecot {
namespace {

// "false" in any case gives false; anything else, the empty value included, true.
bool FlagValue(std::string_view value) {
    return !EqualsIgnoringAsciiCase(value, "false");
}

bool ContainsIgnoringCase(std::string_view text, std::string_view word) {
    if (word.size() > text.size())
        return false;
    for (std::size_t at = 0; at + word.size() <= text.size(); ++at) {
        if (EqualsIgnoringAsciiCase(text.substr(at, word.size()), word))
            return true;
    }
    return false;
}

// A long name or token shown inside a message is cut after `limit` bytes, never inside a
// double-byte character.
std::string Shortened(std::string_view gbk, std::size_t limit = 40) {
    if (gbk.size() <= limit)
        return std::string(gbk);
    std::size_t end = 0;
    while (end < gbk.size()) {
        const std::size_t step =
            static_cast<unsigned char>(gbk[end]) >= 0x81 && end + 1 < gbk.size() ? 2 : 1;
        if (end + step > limit)
            break;
        end += step;
    }
    return std::string(gbk.substr(0, end)) + "...";
}

TemplateLoadError CatalogueError(CatalogueKey key,
                                 std::vector<TemplateLoadError::Argument> arguments = {}) {
    TemplateLoadError error;
    error.key = key.key;
    error.arguments = std::move(arguments);
    return error;
}

// The file as a stream of blank-separated tokens. A token beyond the limit is an error at
// the moment it is read, so text the loader never reaches does not matter.
class TokenReader {
public:
    explicit TokenReader(std::string content) : content_(std::move(content)), stream_(content_) {}
    TokenReader(const TokenReader&) = delete;  // the stream views content_
    TokenReader& operator=(const TokenReader&) = delete;

    // The next token, or the empty text at the end of the file.
    std::string Next() {
        const std::optional<std::string_view> token = stream_.Next();
        if (!token)
            return {};
        if (token->size() > kMaxTemplateToken)
            tooLong_ = true;
        return std::string(*token);
    }

    bool TokenTooLong() const { return tooLong_; }

private:
    std::string content_;
    TokenStream stream_;
    bool tooLong_ = false;
};

TemplateLoadError TokenTooLongError() {
    return CatalogueError(catalogue::DialogModelDlg::kTemplateTokenTooLong);
}

class DefinitionReader {
public:
    DefinitionReader(Template& definition, TokenReader& tokens)
        : definition_(definition), tokens_(tokens) {}

    TemplateLoadResult Read() {
        while (true) {
            const std::string token = tokens_.Next();
            if (tokens_.TokenTooLong())
                return Failed(TokenTooLongError());
            if (token.empty())
                return {};
            if (EqualsIgnoringAsciiCase(token, "$mode")) {
                if (auto error = ReadModeBlock())
                    return Failed(std::move(*error));
            } else if (EqualsIgnoringAsciiCase(token, "$tableItem")) {
                if (auto error = ReadFieldBlock())
                    return Failed(std::move(*error));
                if (auto error = OrderAndNumberFields())
                    return Failed(std::move(*error));
                return TemplateLoadResult{true, std::nullopt};
            }
        }
    }

private:
    static TemplateLoadResult Failed(TemplateLoadError error) {
        return TemplateLoadResult{false, std::move(error)};
    }

    // The next token as the entry `key`; its value, or nothing when it is not that entry.
    std::optional<std::string> Entry(std::string_view key) {
        std::string token = tokens_.Next();
        std::string value;
        if (tokens_.TokenTooLong() || !SplitKeyValue(token, key, '=', value))
            return std::nullopt;
        return value;
    }

    std::optional<TemplateLoadError> ReadModeBlock() {
        auto entry = [this](std::string_view key) {
            return Entry(key);
        };
        auto missing = [this](CatalogueKey key) {
            return tokens_.TokenTooLong() ? TokenTooLongError() : CatalogueError(key);
        };

        const auto typeLens = entry("typeLens");
        if (!typeLens)
            return missing(catalogue::DialogModelDlg::kModeWithoutTypeLens);
        definition_.typeLens = ParseLeadingInt(*typeLens);

        const auto in = entry("in");
        if (!in)
            return missing(catalogue::DialogModelDlg::kInMissing);
        if (ContainsIgnoringCase(*in, "xls"))
            definition_.inXls = true;
        if (ContainsIgnoringCase(*in, "txt"))
            definition_.inTxt = true;

        const auto out = entry("out");
        if (!out)
            return missing(catalogue::DialogModelDlg::kOutMissing);
        if (ContainsIgnoringCase(*out, "xls"))
            definition_.outXls = true;
        if (ContainsIgnoringCase(*out, "txt"))
            definition_.outTxt = true;

        const auto inNeedDescrypt = entry("inNeedDescrypt");
        if (!inNeedDescrypt)
            return missing(catalogue::DialogModelDlg::kInNeedDescryptMissing);
        definition_.inNeedDescrypt = FlagValue(*inNeedDescrypt);

        const auto outNeedEncrypt = entry("outNeedEncrypt");
        if (!outNeedEncrypt)
            return missing(catalogue::DialogModelDlg::kOutNeedEncryptMissing);
        definition_.outNeedEncrypt = FlagValue(*outNeedEncrypt);

        const auto needFill = entry("needFill");
        if (!needFill)
            return missing(catalogue::DialogModelDlg::kNeedFillMissing);
        definition_.needFill = FlagValue(*needFill);

        const auto splite = entry("splite");
        if (!splite)
            return missing(catalogue::DialogModelDlg::kSpliteMissing);
        if (splite->find('"') != std::string::npos) {
            std::string splitter;
            ExtractBetween(*splite, '"', '"', splitter);
            if (splitter.size() > kMaxSplitter) {
                return CatalogueError(catalogue::DialogModelDlg::kTemplateSplitterTooLong);
            }
            definition_.splitter = splitter;
            definition_.hasSplitter = !splitter.empty();
        }

        const auto statistics = entry("statistics");
        if (!statistics)
            return missing(catalogue::DialogModelDlg::kStatisticsMissing);
        definition_.statistics.clear();
        if (!statistics->empty()) {
            switch (ParseStatistics(*statistics, definition_.statistics)) {
                case StatisticsParseError::None:
                    break;
                case StatisticsParseError::Malformed:
                    return CatalogueError(catalogue::DialogModelDlg::kStatisticsMissing);
                case StatisticsParseError::TooManyEntries:
                    return CatalogueError(catalogue::DialogModelDlg::kTemplateTooManyStatistics);
                case StatisticsParseError::LabelTooLong:
                    return CatalogueError(
                        catalogue::DialogModelDlg::kTemplateStatisticsLabelTooLong);
            }
        }
        return std::nullopt;
    }

    std::optional<TemplateLoadError> ReadFieldBlock() {
        long long lengthSum = 0;
        while (true) {
            const std::string token = tokens_.Next();
            if (tokens_.TokenTooLong())
                return TokenTooLongError();
            if (token.empty() || EqualsIgnoringAsciiCase(token, "$End"))
                break;
            FieldItem field;
            if (auto error = ReadField(token, field))
                return error;
            lengthSum += TotalLength(field.type);
            if (FindFieldByIndex(definition_, field.index) != nullptr)
                return DuplicateIndex(field);
            if (definition_.fields.size() >= kMaxTemplateFields) {
                return CatalogueError(catalogue::DialogModelDlg::kTemplateTooManyFields);
            }
            AddField(definition_, field);
        }
        if (lengthSum != definition_.typeLens) {
            return CatalogueError(catalogue::DialogModelDlg::kLengthsDoNotAddUp,
                                  {static_cast<long long>(definition_.typeLens), lengthSum});
        }
        return std::nullopt;
    }

    std::optional<TemplateLoadError> ReadField(const std::string& nameToken, FieldItem& field) {
        ExtractBetween(nameToken, '[', ']', field.name);
        if (field.name.empty())
            return CatalogueError(catalogue::DialogModelDlg::kFieldWithoutName, {nameToken});
        if (field.name.size() > kMaxFieldName) {
            return CatalogueError(catalogue::DialogModelDlg::kTemplateFieldNameTooLong,
                                  {Shortened(field.name)});
        }
        auto missing = [&](CatalogueKey key, const char* entryKey) {
            return tokens_.TokenTooLong()
                       ? TokenTooLongError()
                       : CatalogueError(key, {field.name, std::string(entryKey)});
        };

        const auto index = Entry("index");
        if (!index)
            return missing(catalogue::DialogModelDlg::kFieldWithoutIndex, "index");
        field.index = ParseLeadingInt(*index);

        const auto value = Entry("value");
        if (!value)
            return missing(catalogue::DialogModelDlg::kFieldWithoutValue, "value");
        if (value->size() > kMaxFieldValue) {
            return CatalogueError(catalogue::DialogModelDlg::kTemplateFieldValueTooLong,
                                  {field.name});
        }
        field.value = *value;

        const auto type = Entry("type");
        if (!type)
            return missing(catalogue::DialogModelDlg::kFieldWithoutType, "type");
        if (type->size() > kMaxFieldType) {
            return CatalogueError(catalogue::DialogModelDlg::kTemplateFieldTypeTooLong,
                                  {field.name});
        }
        field.type = *type;
        if (DeclaredLength(field.type) > kMaxFieldLength ||
            TotalLength(field.type) > kMaxFieldLength) {
            return CatalogueError(catalogue::DialogModelDlg::kTemplateFieldLengthTooLong,
                                  {field.name});
        }

        const auto visible = Entry("visible");
        if (!visible)
            return missing(catalogue::DialogModelDlg::kFieldWithoutVisible, "visible");
        field.visible = FlagValue(*visible);

        const auto isRequisite = Entry("isRequisite");
        if (!isRequisite)
            return missing(catalogue::DialogModelDlg::kFieldWithoutIsRequisite, "isRequisite");
        field.isRequisite = FlagValue(*isRequisite);
        return std::nullopt;
    }

    static TemplateLoadError DuplicateIndex(const FieldItem& field) {
        return CatalogueError(
            catalogue::DialogModelDlg::kDuplicateIndex,
            {field.name, std::string("index"), static_cast<long long>(field.index)});
    }

    std::optional<TemplateLoadError> OrderAndNumberFields() {
        std::vector<FieldItem> loaded = std::move(definition_.fields);
        definition_.fields.clear();
        std::stable_sort(loaded.begin(), loaded.end(),
                         [](const FieldItem& a, const FieldItem& b) { return a.index < b.index; });
        int nextColumn = 1;
        for (FieldItem& field : loaded) {
            field.columnNumber = field.visible ? nextColumn++ : -1;
            if (!AddField(definition_, field))
                return DuplicateIndex(field);
        }
        return std::nullopt;
    }

    Template& definition_;
    TokenReader& tokens_;
};

}  // namespace

std::string TemplateLoadError::Text() const {
    const std::string format = LoadMessage(catalogue::DialogModelDlg::kSection, key);
    std::vector<MessageArgument> views;
    for (const Argument& argument : arguments) {
        if (const auto* text = std::get_if<std::string>(&argument))
            views.emplace_back(std::string_view(*text));
        else
            views.emplace_back(std::get<long long>(argument));
    }
    // The catalogue table gives every message at most three arguments.
    switch (views.size()) {
        case 0:
            return FormatMessage(format, {});
        case 1:
            return FormatMessage(format, {views[0]});
        case 2:
            return FormatMessage(format, {views[0], views[1]});
        default:
            return FormatMessage(format, {views[0], views[1], views[2]});
    }
}

TemplateLoadResult ReadTemplateDefinition(Template& definition, const std::string& path) {
    std::optional<std::string> content = ReadWholeFile(path);
    if (!content)
        return {};
    TokenReader tokens(std::move(*content));
    return DefinitionReader(definition, tokens).Read();
}

bool LoadTemplate(Template& definition, const std::string& path, UserInterface& ui) {
    const TemplateLoadResult result = ReadTemplateDefinition(definition, path);
    if (result.error)
        ui.ShowMessage(definition.name, result.error->Text());
    return result.loaded;
}

bool AddField(Template& definition, const FieldItem& field) {
    if (FindFieldByIndex(definition, field.index) != nullptr)
        return false;
    definition.fields.push_back(field);
    return true;
}

const FieldItem* FindFieldByIndex(const Template& definition, int index) {
    for (const FieldItem& field : definition.fields) {
        if (field.index == index)
            return &field;
    }
    return nullptr;
}

const FieldItem* FindFieldByName(const Template& definition, std::string_view name) {
    for (const FieldItem& field : definition.fields) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

const FieldItem* FindFieldByColumn(const Template& definition, int column) {
    if (column < 1)
        return nullptr;
    for (const FieldItem& field : definition.fields) {
        if (field.columnNumber == column)
            return &field;
    }
    return nullptr;
}

void ClearFields(Template& definition) {
    definition.fields.clear();
}

void BuildRecordColumns(const Template& definition, RecordTable& table) {
    std::vector<RecordColumn> columns;
    columns.push_back(
        {LoadMessage(catalogue::DialogModelDlg::kRowNumberHeading), kRowNumberColumnWidth});
    for (const FieldItem& field : definition.fields) {
        if (field.visible)
            columns.push_back({field.name, kFieldColumnWidth});
    }
    columns.push_back({LoadMessage(catalogue::DialogModelDlg::kErrorHeading), kErrorColumnWidth});
    table.SetColumns(std::move(columns));
}

int FindColumnByHeading(const Template& definition, const RecordTable& table,
                        std::string_view heading) {
    const int last = std::min(definition.FieldCount(), table.FieldColumnCount());
    for (int column = 1; column <= last; ++column) {
        if (table.Heading(column) == heading)
            return column;
    }
    return -1;
}

}  // namespace brindlecot
