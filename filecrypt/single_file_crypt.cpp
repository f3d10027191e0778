#include "filecrypt/single_file_crypt.h"
#include "base/catalogue/dialog_single_file_crypt_keys.h"

#include <optional>

#include "base/app_path.h"
#include "base/file_content.h"
#include "base/message_catalogue.h"
#include "base/scratch_file.h"
#include "base/staged_file.h"
#include "base/token_stream.h"
#include "cryptlib/include/kestrelvane.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/installed_key_crypt.h"
#include "workbook/workbook_conversion.h"

namespace brindlecot {
namespace {

constexpr std::size_t kMaxTokenLength = 2047;
constexpr std::size_t kMaxSeparatorText = 9;
constexpr std::string_view kWorkbookExtension = "xls";
// Outputs get the permissions a newly created file would get (the umask applies).
constexpr mode_t kOutputMode = 0666;

// Tokens beyond the longest the file may hold are cut to that length.
class ConfigTokens {
public:
    explicit ConfigTokens(std::string_view text) : stream_(text) {}
    std::optional<std::string_view> Next() {
        const std::optional<std::string_view> token = stream_.Next();
        return token ? std::optional(token->substr(0, kMaxTokenLength)) : std::nullopt;
    }

private:
    TokenStream stream_;
};

// An entry is a token holding its name and an equals sign; its value follows the first
// equals sign.
std::optional<std::string_view> EntryValue(std::string_view token, std::string_view name) {
    const std::size_t equals = token.find('=');
    if (token.find(name) == std::string_view::npos || equals == std::string_view::npos)
        return std::nullopt;
    return token.substr(equals + 1);
}

// The bytes after the first double quote up to the next one (or the end).
std::string_view QuotedText(std::string_view value) {
    const std::size_t open = value.find('"');
    if (open == std::string_view::npos)
        return {};
    const std::string_view inside = value.substr(open + 1);
    return inside.substr(0, std::min(inside.find('"'), kMaxSeparatorText));
}

std::string_view LastComponent(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The catalogue key of the first path rule broken, or nothing.
std::optional<CatalogueKey> PathProblem(const std::string& input, const std::string& output,
                                        const FileCryptSettings& settings) {
    if (input.empty())
        return catalogue::DialogSingleFileCrypt::kNoInputFile;
    if (output.empty())
        return catalogue::DialogSingleFileCrypt::kNoOutputFile;
    if (!FileExists(input))
        return catalogue::DialogSingleFileCrypt::kInputMissing;
    // Two spellings of one file count as the same path too: replacing the output would
    // replace the input.
    if (IsSameFile(input, output))
        return catalogue::DialogSingleFileCrypt::kSameFile;
    const std::string inputExtension = FileExtension(input);
    if (settings.bChange && !inputExtension.empty()) {
        const std::string_view name = LastComponent(output);
        const std::size_t dot = name.rfind('.');
        if (dot == std::string_view::npos || name.substr(dot + 1) != inputExtension)
            return catalogue::DialogSingleFileCrypt::kExtensionDiffers;
    }
    if (IsOccupiedByNonRegularFile(output))
        return catalogue::DialogSingleFileCrypt::kOutputNotRegularFile;
    return std::nullopt;
}

bool ConvertsWorkbook(const std::string& input, const FileCryptSettings& settings) {
    return settings.bChange && FileExtension(input) == kWorkbookExtension;
}

// Seals or opens into a staged file beside `outputPath` and puts it in the place of the
// output only when complete, so a failure leaves an existing output as it was. 0 or the
// library's result.
std::int32_t CryptFileReplacing(std::int32_t mode, const std::string& inputPath,
                                const std::string& outputPath) {
    std::optional<StagedFile> staged = StagedFile::Create(outputPath);
    if (!staged)
        return KESTRELVANE_E_OUTPUT_OPEN;
    const std::int32_t result = CryptWithInstalledKey(mode, inputPath, staged->Path());
    if (result != 0)
        return result;
    return staged->ReplaceTarget(outputPath, kOutputMode) ? 0 : KESTRELVANE_E_OUTPUT_OPEN;
}

class SingleFileMessages {
public:
    explicit SingleFileMessages(UserInterface& ui)
        : ui_(ui), caption_(LoadMessage(catalogue::DialogSingleFileCrypt::kTitle)) {}
    void Show(CatalogueKey key) { ui_.ShowMessage(caption_, LoadMessage(key)); }
    // An opening that failed: a file that could not be written is no fault of the key or
    // of the file's origin, which is what the opening's own message speaks of.
    void ShowOpenFailure(std::int32_t result) {
        Show(IsCryptOutputFailure(result) ? catalogue::DialogSingleFileCrypt::kOutputWriteFailed
                                          : catalogue::DialogSingleFileCrypt::kOpenFailed);
    }

private:
    UserInterface& ui_;
    std::string caption_;
};

// The steps both commands start with: the key is reloaded (keyConf may have been replaced
// since the last use), then the paths are checked.
bool ReadyToRun(const std::string& input, const std::string& output,
                const FileCryptSettings& settings, SingleFileMessages& messages) {
    if (!LoadInstalledKey()) {
        messages.Show(catalogue::DialogSingleFileCrypt::kNoKeyInstalled);
        return false;
    }
    if (const std::optional<CatalogueKey> problem = PathProblem(input, output, settings)) {
        messages.Show(*problem);
        return false;
    }
    return true;
}

bool SealWorkbookAsText(const std::string& input, const std::string& output,
                        const FileCryptSettings& settings, UserInterface& ui,
                        SingleFileMessages& messages) {
    std::optional<StagedFile> text = StagedFile::Create(output);
    if (!text) {
        messages.Show(catalogue::DialogSingleFileCrypt::kSealFailed);
        return false;
    }
    // The conversion has shown its own message when it fails.
    if (!ConvertWorkbookToText(ui, input, text->Path(), settings.separator))
        return false;
    if (CryptFileReplacing(kCryptModeSeal, text->Path(), output) != 0) {
        messages.Show(catalogue::DialogSingleFileCrypt::kSealFailed);
        return false;
    }
    messages.Show(catalogue::DialogSingleFileCrypt::kSealDone);
    return true;
}

bool OpenTextAsWorkbook(const std::string& input, const std::string& output,
                        const FileCryptSettings& settings, UserInterface& ui,
                        SingleFileMessages& messages) {
    std::optional<StagedFile> text = StagedFile::Create(output);
    const std::int32_t result = text ? CryptWithInstalledKey(kCryptModeOpen, input, text->Path())
                                     : KESTRELVANE_E_OUTPUT_OPEN;
    if (result != 0) {
        messages.ShowOpenFailure(result);
        return false;
    }
    // The workbook is written whole beside the output and renamed over it; a failure has
    // shown its own message (or none, as for an unreadable text) and leaves the output.
    if (!ConvertTextToWorkbook(ui, text->Path(), output, settings.separator))
        return false;
    messages.Show(catalogue::DialogSingleFileCrypt::kOpenDone);
    return true;
}

}  // namespace

FileCryptSettings ParseFileCryptConfig(std::string_view text, UserInterface& ui) {
    FileCryptSettings settings;
    ConfigTokens tokens(text);
    while (const std::optional<std::string_view> token = tokens.Next()) {
        if (!EqualsIgnoringAsciiCase(*token, "$file"))
            continue;
        const std::optional<std::string_view> change = tokens.Next();
        const std::optional<std::string_view> changeValue =
            change ? EntryValue(*change, "bChange") : std::nullopt;
        if (!changeValue) {
            SingleFileMessages(ui).Show(catalogue::DialogSingleFileCrypt::kFileWithoutBChange);
            return settings;
        }
        settings.bChange = !EqualsIgnoringAsciiCase(*changeValue, "false");
        const std::optional<std::string_view> splite = tokens.Next();
        const std::optional<std::string_view> spliteValue =
            splite ? EntryValue(*splite, "splite") : std::nullopt;
        if (!spliteValue) {
            SingleFileMessages(ui).Show(catalogue::DialogSingleFileCrypt::kSpliteMissing);
            return settings;
        }
        const std::string_view separator = QuotedText(*spliteValue);
        if (!separator.empty())
            settings.separator = separator.front();
    }
    return settings;
}

FileCryptSettings ReadFileCryptConfig(UserInterface& ui) {
    const std::optional<std::string> text = ReadWholeFile(AppPath(kFileCryptConfigName));
    if (!text)
        return {};
    return ParseFileCryptConfig(*text, ui);
}

std::string FileExtension(std::string_view path) {
    const std::string_view name = LastComponent(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

bool SealSingleFile(const std::string& inputPath, const std::string& outputPath,
                    const FileCryptSettings& settings, UserInterface& ui) {
    SingleFileMessages messages(ui);
    if (!ReadyToRun(inputPath, outputPath, settings, messages))
        return false;
    if (ConvertsWorkbook(inputPath, settings))
        return SealWorkbookAsText(inputPath, outputPath, settings, ui, messages);
    if (CryptFileReplacing(kCryptModeSeal, inputPath, outputPath) != 0) {
        messages.Show(catalogue::DialogSingleFileCrypt::kSealFailed);
        return false;
    }
    messages.Show(catalogue::DialogSingleFileCrypt::kSealDone);
    return true;
}

bool OpenSingleFile(const std::string& inputPath, const std::string& outputPath,
                    const FileCryptSettings& settings, UserInterface& ui) {
    SingleFileMessages messages(ui);
    if (!ReadyToRun(inputPath, outputPath, settings, messages))
        return false;
    if (ConvertsWorkbook(inputPath, settings))
        return OpenTextAsWorkbook(inputPath, outputPath, settings, ui, messages);
    if (const std::int32_t result = CryptFileReplacing(kCryptModeOpen, inputPath, outputPath);
        result != 0) {
        messages.ShowOpenFailure(result);
        return false;
    }
    messages.Show(catalogue::DialogSingleFileCrypt::kOpenDone);
    return true;
}

}  // namespace brindlecot
