// Office Open XML input: the active worksheet of an xlsx package, through minizip and expat.
// Every part is streamed through the parser; nothing in the package is trusted.

#include <expat.h>
#include <unzip.h>

#include <charconv>
#include <limits>
#include <map>
#include <memory>
#include <unordered_map>

#include "base/file_content.h"
#include "workbook/workbook_internal.h"

namespace brindlecot::workbook_detail {
namespace {

constexpr std::uint32_t kMaxRows = 1048576;
constexpr std::uint32_t kMaxColumns = 16384;
constexpr std::size_t kMaxCells = 50'000'000;  // far beyond any batch; stops a decompression bomb
constexpr std::uint64_t kMaxPartBytes = 4ull << 30;  // uncompressed bytes of one part
constexpr std::size_t kMaxTextBytes =
    1 << 20;  // one text node; a cell holds at most 32,767 characters

// Names without their namespace prefix: parts are read by local names, whatever prefix a
// producer chose (a namespace-aware parse would hand over the full URI with every name,
// which costs more than the parse itself on a large sheet).
std::string_view LocalName(const char* name) {
    std::string_view full(name);
    const auto colon = full.find(':');
    return colon == std::string_view::npos ? full : full.substr(colon + 1);
}

const char* Attribute(const char** attributes, std::string_view local) {
    for (int i = 0; attributes[i]; i += 2)
        if (LocalName(attributes[i]) == local)
            return attributes[i + 1];
    return nullptr;
}

bool ParseUnsigned(std::string_view text, std::uint64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

// "_xHHHH_" escapes characters that XML cannot carry (control characters).
std::string DecodeEscapes(std::string text) {
    if (text.find("_x") == std::string::npos)
        return text;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_') {
            unsigned code = 0;
            const auto [end, error] =
                std::from_chars(text.data() + i + 2, text.data() + i + 6, code, 16);
            if (error == std::errc{} && end == text.data() + i + 6) {
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Receives the events of one XML part; `Fail` stops the parse with a reason.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void Start(std::string_view name, const char** attributes) = 0;
    virtual void End(std::string_view name) = 0;
    void Text(const char* data, int length) {
        if (!capturing_)
            return;
        if (text_.size() + static_cast<std::size_t>(length) > kMaxTextBytes)
            return Fail("text too long");
        text_.append(data, static_cast<std::size_t>(length));
    }
    void Fail(std::string reason) {
        if (failure_.empty())
            failure_ = std::move(reason);
    }
    const std::string& failure() const { return failure_; }

protected:
    bool capturing_ = false;
    std::string text_;

private:
    std::string failure_;
};

struct ParserDeleter {
    void operator()(XML_ParserStruct* p) const { XML_ParserFree(p); }
};
struct ZipCloser {
    void operator()(void* z) const { unzClose(z); }
};
using Zip = std::unique_ptr<void, ZipCloser>;

// minizip reads the package through the file we opened and checked ourselves: were it to
// open the name again, the name could meanwhile lead to a FIFO, whose open never returns.
class PackageSource {
public:
    explicit PackageSource(ReadableFile file) : file_(std::move(file)) {}

    Zip Open(const std::string& path) {
        zlib_filefunc64_def functions{};
        functions.zopen64_file = &PackageSource::OpenStream;
        functions.zread_file = &PackageSource::ReadStream;
        functions.zwrite_file = &PackageSource::WriteStream;
        functions.ztell64_file = &PackageSource::TellStream;
        functions.zseek64_file = &PackageSource::SeekStream;
        functions.zclose_file = &PackageSource::CloseStream;
        functions.zerror_file = &PackageSource::StreamError;
        functions.opaque = this;
        return Zip(unzOpen2_64(path.c_str(), &functions));
    }

private:
    static PackageSource& Of(voidpf opaque) { return *static_cast<PackageSource*>(opaque); }

    static voidpf OpenStream(voidpf opaque, const void*, int mode) {
        return (mode & ZLIB_FILEFUNC_MODE_WRITE) != 0 ? nullptr : opaque;
    }
    static uLong ReadStream(voidpf opaque, voidpf, void* buffer, uLong size) {
        PackageSource& source = Of(opaque);
        const auto got = source.file_.ReadAt(source.position_, static_cast<char*>(buffer), size);
        if (!got) {
            source.failed_ = true;
            return 0;
        }
        source.position_ += *got;
        return static_cast<uLong>(*got);
    }
    static uLong WriteStream(voidpf, voidpf, const void*, uLong) { return 0; }
    static ZPOS64_T TellStream(voidpf opaque, voidpf) { return Of(opaque).position_; }
    static long SeekStream(voidpf opaque, voidpf, ZPOS64_T offset, int origin) {
        PackageSource& source = Of(opaque);
        std::uint64_t base = 0;
        switch (origin) {
            case ZLIB_FILEFUNC_SEEK_SET:
                break;
            case ZLIB_FILEFUNC_SEEK_CUR:
                base = source.position_;
                break;
            case ZLIB_FILEFUNC_SEEK_END:
                base = source.file_.Size();
                break;
            default:
                return -1;
        }
        if (offset > std::numeric_limits<std::uint64_t>::max() - base)
            return -1;
        source.position_ = base + offset;
        return 0;
    }
    static int CloseStream(voidpf, voidpf) { return 0; }
    static int StreamError(voidpf opaque, voidpf) { return Of(opaque).failed_ ? 1 : 0; }

    ReadableFile file_;
    std::uint64_t position_ = 0;
    bool failed_ = false;
};

struct ParseContext {
    XML_Parser parser;
    XmlHandler* handler;
};

void OnStart(void* data, const char* name, const char** attributes) {
    auto* context = static_cast<ParseContext*>(data);
    context->handler->Start(LocalName(name), attributes);
    if (!context->handler->failure().empty())
        XML_StopParser(context->parser, XML_FALSE);
}
void OnEnd(void* data, const char* name) {
    auto* context = static_cast<ParseContext*>(data);
    context->handler->End(LocalName(name));
    if (!context->handler->failure().empty())
        XML_StopParser(context->parser, XML_FALSE);
}
void OnText(void* data, const char* text, int length) {
    auto* context = static_cast<ParseContext*>(data);
    context->handler->Text(text, length);
    if (!context->handler->failure().empty())
        XML_StopParser(context->parser, XML_FALSE);
}
void OnDoctype(void* data, const char*, const char*, const char*, int) {
    // Workbook parts have no document type; refusing one rules out entity tricks.
    auto* context = static_cast<ParseContext*>(data);
    context->handler->Fail("unexpected document type declaration");
    XML_StopParser(context->parser, XML_FALSE);
}

enum class PartOutcome { Parsed, Missing, Damaged };

// Streams one part of the package through `handler`; adds its uncompressed size to
// `content`.
PartOutcome ParsePart(void* zip, const std::string& name, XmlHandler& handler, std::string& reason,
                      std::uint64_t& content) {
    if (unzLocateFile(zip, name.c_str(), 2) != UNZ_OK)
        return PartOutcome::Missing;
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
        reason = name + ": cannot be opened";
        return PartOutcome::Damaged;
    }
    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate(nullptr));
    if (!parser) {
        unzCloseCurrentFile(zip);
        reason = "out of memory";
        return PartOutcome::Damaged;
    }
    ParseContext context{parser.get(), &handler};
    XML_SetUserData(parser.get(), &context);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    XML_SetStartDoctypeDeclHandler(parser.get(), OnDoctype);

    std::vector<char> buffer(1 << 16);
    std::uint64_t total = 0;
    bool good = true;
    for (;;) {
        const int got =
            unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (got < 0) {
            reason = name + ": damaged compressed data";
            good = false;
            break;
        }
        total += static_cast<std::uint64_t>(got);
        content += static_cast<std::uint64_t>(got);
        if (total > kMaxPartBytes) {
            reason = name + ": part too large";
            good = false;
            break;
        }
        if (XML_Parse(parser.get(), buffer.data(), got, got == 0) != XML_STATUS_OK) {
            reason = !handler.failure().empty()
                         ? name + ": " + handler.failure()
                         : name + ": " + XML_ErrorString(XML_GetErrorCode(parser.get()));
            good = false;
            break;
        }
        if (got == 0)
            break;
    }
    const int closed = unzCloseCurrentFile(zip);
    if (good && closed != UNZ_OK) {
        reason = name + ": checksum mismatch";
        good = false;
    }
    return good ? PartOutcome::Parsed : PartOutcome::Damaged;
}

// Relationship targets are relative to the folder of the part that owns them.
std::string ResolveTarget(const std::string& ownerFolder, std::string target) {
    if (!target.empty() && target[0] == '/')
        return target.substr(1);
    std::string path = ownerFolder + target;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string piece = path.substr(start, end - start);
        if (piece == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.push_back(piece);
        }
        start = end + 1;
    }
    std::string joined;
    for (const auto& p : parts)
        joined += (joined.empty() ? "" : "/") + p;
    return joined;
}

std::string FolderOf(const std::string& part) {
    const auto slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string RelationshipsOf(const std::string& part) {
    const auto slash = part.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
    return folder + "_rels/" + part.substr(slash == std::string::npos ? 0 : slash + 1) + ".rels";
}

struct Relationship {
    std::string type;
    std::string target;
};

class RelationshipsHandler : public XmlHandler {
public:
    std::map<std::string, Relationship> byId;
    void Start(std::string_view name, const char** attributes) override {
        if (name != "Relationship")
            return;
        const char* id = Attribute(attributes, "Id");
        const char* type = Attribute(attributes, "Type");
        const char* target = Attribute(attributes, "Target");
        if (id && type && target)
            byId.emplace(id, Relationship{type, target});
    }
    void End(std::string_view) override {}
};

class WorkbookHandler : public XmlHandler {
public:
    std::vector<std::string> sheetIds;
    std::size_t activeTab = 0;
    bool date1904 = false;
    void Start(std::string_view name, const char** attributes) override {
        if (name == "sheet") {
            const char* id = Attribute(attributes, "id");
            sheetIds.emplace_back(id ? id : "");
        } else if (name == "workbookView" && !sawView_) {
            sawView_ = true;
            std::uint64_t tab = 0;
            if (const char* value = Attribute(attributes, "activeTab");
                value && ParseUnsigned(value, tab))
                activeTab = static_cast<std::size_t>(tab);
        } else if (name == "workbookPr") {
            const char* value = Attribute(attributes, "date1904");
            date1904 =
                value && (std::string_view(value) == "1" || std::string_view(value) == "true");
        }
    }
    void End(std::string_view) override {}

private:
    bool sawView_ = false;
};

// What a cell style shows a number as: a date or time kind, or literal text sections.
struct NumberStyle {
    DateTimeKind kind = DateTimeKind::None;
    std::string customCode;  // only for codes that may show literal text
};

class StylesHandler : public XmlHandler {
public:
    std::vector<NumberStyle> styleOfXf;
    void Start(std::string_view name, const char** attributes) override {
        if (name == "numFmt") {
            std::uint64_t id = 0;
            const char* idText = Attribute(attributes, "numFmtId");
            const char* code = Attribute(attributes, "formatCode");
            if (idText && code && ParseUnsigned(idText, id))
                custom_[id] = NumberStyle{ClassifyFormatCode(code), code};
        } else if (name == "cellXfs") {
            inCellXfs_ = true;
        } else if (name == "xf" && inCellXfs_) {
            std::uint64_t id = 0;
            const char* idText = Attribute(attributes, "numFmtId");
            if (!idText || !ParseUnsigned(idText, id))
                id = 0;
            const auto it = custom_.find(id);
            styleOfXf.push_back(
                it != custom_.end()
                    ? it->second
                    : NumberStyle{ClassifyBuiltInFormat(static_cast<unsigned>(id)), {}});
        }
    }
    void End(std::string_view name) override {
        if (name == "cellXfs")
            inCellXfs_ = false;
    }

private:
    std::map<std::uint64_t, NumberStyle> custom_;
    bool inCellXfs_ = false;
};

// The text of an <si> or <is> element: every <t>, plain or inside rich-text runs, in
// order; phonetic guides (<rPh>) are not part of the displayed text.
class StringItemCollector {
public:
    void Start(std::string_view name, bool& capturing) {
        if (name == "rPh")
            ++phonetic_;
        if (name == "t" && phonetic_ == 0)
            capturing = true;
    }
    void End(std::string_view name, bool& capturing, std::string& text, std::string& item) {
        if (name == "rPh" && phonetic_ > 0)
            --phonetic_;
        if (name == "t" && capturing) {
            item += text;
            text.clear();
            capturing = false;
        }
    }

private:
    int phonetic_ = 0;
};

class SharedStringsHandler : public XmlHandler {
public:
    std::vector<std::string> strings;
    void Start(std::string_view name, const char**) override {
        if (name == "si") {
            inItem_ = true;
            item_.clear();
        } else if (inItem_) {
            collector_.Start(name, capturing_);
        }
    }
    void End(std::string_view name) override {
        if (name == "si") {
            if (strings.size() >= kMaxCells)
                return Fail("too many strings");
            strings.push_back(DecodeEscapes(std::move(item_)));
            item_.clear();
            inItem_ = false;
        } else if (inItem_) {
            collector_.End(name, capturing_, text_, item_);
        }
    }

private:
    bool inItem_ = false;
    std::string item_;
    StringItemCollector collector_;
};

bool ParseCellReference(std::string_view reference, std::uint32_t& row, std::uint32_t& column) {
    std::size_t i = 0;
    std::uint32_t col = 0;
    while (i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z' && i < 3) {
        col = col * 26 + static_cast<std::uint32_t>(reference[i] - 'A' + 1);
        ++i;
    }
    std::uint64_t rowNumber = 0;
    if (i == 0 || !ParseUnsigned(reference.substr(i), rowNumber))
        return false;
    if (col > kMaxColumns || rowNumber == 0 || rowNumber > kMaxRows)
        return false;
    row = static_cast<std::uint32_t>(rowNumber - 1);
    column = col - 1;
    return true;
}

class SheetHandler : public XmlHandler {
public:
    SheetHandler(const std::vector<std::string>& strings, const std::vector<NumberStyle>& styles,
                 bool date1904)
        : strings_(strings), styles_(styles), date1904_(date1904) {}
    SheetCells cells;

    void Start(std::string_view name, const char** attributes) override {
        if (name == "sheetData") {
            inData_ = true;
        } else if (!inData_) {
            return;
        } else if (name == "row") {
            std::uint64_t number = 0;
            if (const char* r = Attribute(attributes, "r")) {
                if (!ParseUnsigned(r, number) || number == 0 || number > kMaxRows)
                    return Fail("bad row number");
                row_ = static_cast<std::uint32_t>(number - 1);
            } else {
                row_ = nextRow_;
            }
            if (row_ >= kMaxRows)
                return Fail("too many rows");
            nextRow_ = row_ + 1;
            nextColumn_ = 0;
        } else if (name == "c") {
            inCell_ = true;
            value_.clear();
            inline_.clear();
            const char* r = Attribute(attributes, "r");
            if (r) {
                std::uint32_t row = 0;
                if (!ParseCellReference(r, row, column_))
                    return Fail(std::string("bad cell reference ") + r);
                if (row != row_)
                    return Fail(std::string("cell outside its row ") + r);
            } else {
                column_ = nextColumn_;
            }
            if (column_ >= kMaxColumns)
                return Fail("too many columns");
            nextColumn_ = column_ + 1;
            const char* t = Attribute(attributes, "t");
            type_ = t ? t : "n";
            std::uint64_t style = 0;
            const char* s = Attribute(attributes, "s");
            style_ = s && ParseUnsigned(s, style) ? style : 0;
        } else if (inCell_ && name == "v") {
            capturing_ = true;
            text_.clear();
        } else if (inCell_ && name == "is") {
            inInline_ = true;
        } else if (inInline_) {
            collector_.Start(name, capturing_);
        }
    }

    void End(std::string_view name) override {
        if (!inData_)
            return;
        if (name == "sheetData") {
            inData_ = false;
        } else if (inCell_ && name == "v") {
            value_ = std::move(text_);
            text_.clear();
            capturing_ = false;
        } else if (inInline_ && name == "is") {
            inInline_ = false;
        } else if (inInline_) {
            collector_.End(name, capturing_, text_, inline_);
        } else if (name == "c" && inCell_) {
            inCell_ = false;
            SheetCell cell{row_, column_, {}};
            if (!Display(cell))
                return;
            if (cell.text.empty() && cell.shared == kNotShared)
                return;
            if (cells.size() >= kMaxCells)
                return Fail("too many cells");
            cells.push_back(std::move(cell));
        }
    }

private:
    bool Display(SheetCell& cell) {
        std::string& shown = cell.text;
        if (type_ == "inlineStr") {
            shown = DecodeEscapes(std::move(inline_));
        } else if (type_ == "s") {
            std::uint64_t index = 0;
            if (value_.empty())
                return true;
            if (!ParseUnsigned(value_, index) || index >= strings_.size()) {
                Fail("shared string index out of range in " + CellReference(row_, column_));
                return false;
            }
            cell.shared = static_cast<std::uint32_t>(index);  // shared, never copied here
        } else if (type_ == "b") {
            if (!value_.empty())
                shown = value_ == "1" || value_ == "true" ? "TRUE" : "FALSE";
        } else if (type_ == "str" || type_ == "e") {
            shown = DecodeEscapes(std::move(value_));
        } else if (type_ == "d") {
            shown = value_.size() >= 10 && value_[4] == '-' ? value_.substr(0, 10) : value_;
        } else {
            shown = Number(value_);
        }
        return true;
    }

    std::string Number(const std::string& text) const {
        double number = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (text.empty() || error != std::errc{} || end != text.data() + text.size())
            return text;
        if (style_ < styles_.size()) {
            const NumberStyle& style = styles_[static_cast<std::size_t>(style_)];
            if (style.kind != DateTimeKind::None)
                return FormatSerialDate(number, style.kind, date1904_);
            if (!style.customCode.empty())
                if (auto literal = LiteralSectionText(style.customCode, number))
                    return *literal;
        }
        return FormatGeneralNumber(number);
    }

    const std::vector<std::string>& strings_;
    const std::vector<NumberStyle>& styles_;
    bool date1904_;
    bool inData_ = false;
    bool inCell_ = false;
    bool inInline_ = false;
    std::uint32_t row_ = 0;
    std::uint32_t nextRow_ = 0;
    std::uint32_t column_ = 0;
    std::uint32_t nextColumn_ = 0;
    std::string type_;
    std::uint64_t style_ = 0;
    std::string value_;
    std::string inline_;
    StringItemCollector collector_;
};

WorkbookStatus Damaged(std::string reason) {
    return Failure(WorkbookError::Malformed, std::move(reason));
}

}  // namespace

SheetReadResult ReadXlsxSheet(const std::string& path) {
    SheetReadResult result;
    std::optional<ReadableFile> file = ReadableFile::Open(path);
    if (!file) {
        result.status = Failure(WorkbookError::CannotOpen, "the workbook file cannot be read");
        return result;
    }
    PackageSource source(std::move(*file));
    Zip zip = source.Open(path);
    if (!zip) {
        result.status =
            Damaged("the package's zip directory cannot be read (truncated or damaged)");
        return result;
    }
    std::string reason;

    RelationshipsHandler packageRels;
    std::string workbookPart = "xl/workbook.xml";
    if (ParsePart(zip.get(), "_rels/.rels", packageRels, reason, result.contentBytes) ==
        PartOutcome::Damaged) {
        result.status = Damaged(reason);
        return result;
    }
    for (const auto& [id, rel] : packageRels.byId)
        if (rel.type.ends_with("/officeDocument"))
            workbookPart = ResolveTarget("", rel.target);

    WorkbookHandler book;
    if (auto outcome = ParsePart(zip.get(), workbookPart, book, reason, result.contentBytes);
        outcome != PartOutcome::Parsed) {
        result.status =
            Damaged(outcome == PartOutcome::Missing ? "no workbook part in the package" : reason);
        return result;
    }
    RelationshipsHandler bookRels;
    if (ParsePart(zip.get(), RelationshipsOf(workbookPart), bookRels, reason,
                  result.contentBytes) != PartOutcome::Parsed) {
        result.status =
            Damaged(reason.empty() ? "the workbook's relationships are missing" : reason);
        return result;
    }
    if (book.sheetIds.empty()) {
        result.status = Damaged("the workbook has no sheet");
        return result;
    }
    const std::string folder = FolderOf(workbookPart);
    const std::size_t tab = book.activeTab < book.sheetIds.size() ? book.activeTab : 0;
    const auto sheetRel = bookRels.byId.find(book.sheetIds[tab]);
    if (sheetRel == bookRels.byId.end()) {
        result.status = Damaged("the active sheet has no part");
        return result;
    }

    SharedStringsHandler shared;
    StylesHandler styles;
    for (const auto& [id, rel] : bookRels.byId) {
        XmlHandler* handler = nullptr;
        if (rel.type.ends_with("/sharedStrings"))
            handler = &shared;
        if (rel.type.ends_with("/styles"))
            handler = &styles;
        if (handler && ParsePart(zip.get(), ResolveTarget(folder, rel.target), *handler, reason,
                                 result.contentBytes) == PartOutcome::Damaged) {
            result.status = Damaged(reason);
            return result;
        }
    }

    SheetHandler sheet(shared.strings, styles.styleOfXf, book.date1904);
    if (auto outcome = ParsePart(zip.get(), ResolveTarget(folder, sheetRel->second.target), sheet,
                                 reason, result.contentBytes);
        outcome != PartOutcome::Parsed) {
        result.status = Damaged(
            outcome == PartOutcome::Missing ? "the active sheet's part is missing" : reason);
        return result;
    }
    result.cells = std::move(sheet.cells);
    result.sharedTexts = std::move(shared.strings);
    return result;
}

}  // namespace brindlecot::workbook_detail
