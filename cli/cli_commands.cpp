#include "cli/cli_commands.h"
#include "base/catalogue/brindlecot_keys.h"
#include "base/catalogue/dialog_model_dlg_keys.h"
#include "base/catalogue/dialog_oper_select_keys.h"

#include <optional>
#include <string>

#include "base/app_path.h"
#include "base/crypto_binding.h"
#include "base/gbk_text.h"
#include "base/message_catalogue.h"
#include "base/platform/native_text.h"
#include "base/scratch_file.h"
#include "base/startup.h"
#include "commands/record_export.h"
#include "commands/record_import.h"
#include "commands/template_editor.h"
#include "commands/template_listing.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_file_cipher.h"
#include "filecrypt/key_installation.h"
#include "filecrypt/single_file_crypt.h"
#include "template/field_rules.h"
#include "template/template_definition.h"

namespace brindlecot {
namespace {

constexpr char kProgram[] = "brindlecot-cli: ";

struct TemplateChoice {
    std::string path;
    std::string caption;  // GBK, as the editor's caption
};

// A name as the chooser lists it (conf/NAME.cfg beside the executable) or a path to a
// definition file. A missing one gets the chooser's own message.
std::optional<TemplateChoice> ResolveTemplate(const std::string& argument, UserInterface& ui) {
    TemplateChoice choice;
    std::string title = argument;
    if (argument.find('/') != std::string::npos ||
        (argument.ends_with(".cfg") && FileExists(argument))) {
        choice.path = argument;
        title = argument.substr(argument.rfind('/') + 1);
        if (title.ends_with(".cfg"))
            title.resize(title.size() - 4);
    } else {
        choice.path = TemplatePath(argument);
    }
    if (!FileExists(choice.path)) {
        ui.ShowMessage(LoadMessage(catalogue::DialogOperSelect::kTitle),
                       LoadMessage(catalogue::DialogOperSelect::kTemplateFileMissing));
        return std::nullopt;
    }
    // File names are UTF-8; the program's texts, the caption among them, are GBK.
    choice.caption = Utf8ToGbk(title).value_or(title);
    return choice;
}

bool BindLibrary(UserInterface& ui) {
    if (BindCryptoLibrary())
        return true;
    ui.ShowMessage(kApplicationName, LoadMessage(catalogue::Brindlecot::kDriverUnusable));
    return false;
}

// The program's overwrite prompt, answered by --force.
bool MayWrite(const std::string& path, bool force, ConsoleUserInterface& ui) {
    if (force || !FileExists(path))
        return true;
    ui.Say(std::string(kProgram) + path + " exists; add --force to replace it");
    return false;
}

std::string Display(std::string_view gbk) {
    return GbkToUtf8ForDisplay(gbk);
}

const char* YesNo(bool value) {
    return value ? "yes" : "no";
}

std::string Formats(bool xls, bool txt) {
    if (xls && txt)
        return "xls txt";
    if (xls)
        return "xls";
    if (txt)
        return "txt";
    return "none";
}

int RunList(std::ostream& out) {
    for (const std::string& name : ListTemplateNames(TemplateFolder()))
        out << platform::FileNameToUtf8(name) << '\n';
    return kCliSuccess;
}

int RunCheck(const std::string& argument, ConsoleUserInterface& ui, std::ostream& out) {
    const std::optional<TemplateChoice> choice = ResolveTemplate(argument, ui);
    if (!choice)
        return kCliFailure;
    Template definition;
    definition.name = choice->caption;
    if (!LoadTemplate(definition, choice->path, ui)) {
        // The loader is silent about a file it cannot read or one without a field block.
        if (!ReadTemplateDefinition(definition, choice->path).error) {
            ui.Say(std::string(kProgram) + choice->path +
                   ": not a template definition (unreadable, or no $tableItem)");
        }
        return kCliFailure;
    }
    out << "template\t" << Display(definition.name) << '\n'
        << "typeLens\t" << definition.typeLens << '\n'
        << "in\t" << Formats(definition.inXls, definition.inTxt) << '\n'
        << "out\t" << Formats(definition.outXls, definition.outTxt) << '\n'
        << "inNeedDescrypt\t" << YesNo(definition.inNeedDescrypt) << '\n'
        << "outNeedEncrypt\t" << YesNo(definition.outNeedEncrypt) << '\n'
        << "needFill\t" << YesNo(definition.needFill) << '\n'
        << "splite\t"
        << (definition.hasSplitter ? "\"" + Display(definition.splitter) + "\"" : "none") << '\n'
        << "statistics\t" << definition.statistics.size() << '\n'
        << "fields\t" << definition.fields.size() << "\n\n"
        << "index\tname\ttype\tlength\tvisible\trequired\n";
    for (const FieldItem& field : definition.fields) {
        out << field.index << '\t' << Display(field.name) << '\t' << Display(field.type) << '\t'
            << TotalLength(field.type) << '\t' << YesNo(field.visible) << '\t'
            << YesNo(field.isRequisite) << '\n';
    }
    return kCliSuccess;
}

int RunInstallKey(const std::string& key, bool force, ConsoleUserInterface& ui) {
    PrepareKeyFileCipher();
    // An installed key is replaced only when --force says so, as an output is: files
    // sealed with it would no longer open. The replacement question is then answered by
    // --force; with no key installed there is nothing to ask.
    const std::string keyConf = KeyConfPath();
    const bool replacing = FileExists(keyConf);
    if (replacing && !force) {
        ui.Say(std::string(kProgram) + "a key is installed (" + keyConf +
               "); add --force to replace it");
        return kCliFailure;
    }
    ui.AnswerQuestions(true, replacing);
    switch (InstallKey(key, ui)) {
        case KeyInstallOutcome::Installed:
            return kCliSuccess;
        case KeyInstallOutcome::NotSaved:
        case KeyInstallOutcome::NotInstalled:
            break;
    }
    return kCliFailure;
}

// Every row that breaks a rule, with its number and message; true when there was none.
// Each value is checked once, as in the editor: the import's verdict stands for the values
// it checked, and values it left unchecked (text without fixed widths) are checked here,
// so no script can send a batch that the rules would have refused.
bool ReportErrorRows(TemplateEditor& editor, ConsoleUserInterface& ui) {
    const RecordTable& records = editor.Records();
    const bool checkedOnImport = ImportChecksValues(editor.Definition());
    if (checkedOnImport && records.ErrorRowCount() == 0)
        return true;
    int broken = 0;
    for (int row = 0; row < records.RowCount(); ++row) {
        if (!records.IsErrorRow(row) && (checkedOnImport || editor.RecheckRow(row)))
            continue;
        ++broken;
        ui.Say("row " + RecordTable::RowNumberText(row) + ": " + Display(records.ErrorText(row)));
    }
    if (broken == 0)
        return true;
    ui.Say(std::string(kProgram) + std::to_string(broken) + " of " +
           std::to_string(records.RowCount()) + " records break a field rule; nothing written");
    return false;
}

int RunExport(const CommandLine& line, ConsoleUserInterface& ui) {
    const std::string& input = line.operands[1];
    const std::string& output = line.operands[2];
    if (!BindLibrary(ui))
        return kCliFailure;
    PrepareKeyFileCipher();
    const std::optional<TemplateChoice> choice = ResolveTemplate(line.operands[0], ui);
    if (!choice)
        return kCliFailure;
    TemplateEditor editor(ui);
    if (!editor.Open(choice->path, choice->caption))
        return kCliFailure;

    // The open dialog only lets the person pick a file that exists; what the program says
    // of a file it cannot read stands for one that is not there.
    if (!FileExists(input)) {
        ui.ShowMessage(kApplicationName,
                       LoadMessage(catalogue::DialogModelDlg::kImportFileUnreadable));
        return kCliFailure;
    }
    ui.AnswerFileToOpen(input);
    switch (ImportRecords(editor)) {
        case ImportOutcome::Imported:
            break;
        case ImportOutcome::Incomplete:
            ui.Say(std::string(kProgram) + input + " was not read completely; nothing written");
            return kCliFailure;
        case ImportOutcome::Failed:
        case ImportOutcome::Refused:
        case ImportOutcome::Cancelled:
            return kCliFailure;
    }
    if (!ReportErrorRows(editor, ui))
        return kCliFailure;

    // Writing over the input is refused by the export itself, with its own message.
    const std::string target = ExportTargetPath(editor.Definition(), output);
    if (!IsSameFile(target, input) && !MayWrite(target, line.force, ui))
        return kCliFailure;
    ui.AnswerFileToSave(output);
    return ExportRecords(editor) == ExportOutcome::Written ? kCliSuccess : kCliFailure;
}

int RunSingleFile(const CommandLine& line, bool seal, ConsoleUserInterface& ui) {
    const std::string& input = line.operands[0];
    const std::string& output = line.operands[1];
    if (!BindLibrary(ui))
        return kCliFailure;
    PrepareKeyFileCipher();
    const FileCryptSettings settings = ReadFileCryptConfig(ui);
    if (!IsSameFile(input, output) && !MayWrite(output, line.force, ui))
        return kCliFailure;
    const bool done = seal ? SealSingleFile(input, output, settings, ui)
                           : OpenSingleFile(input, output, settings, ui);
    return done ? kCliSuccess : kCliFailure;
}

}  // namespace

int RunCommand(const CommandLine& line, ConsoleUserInterface& ui, std::ostream& out) {
    SelectMessageCatalogue();
    int status = kCliFailure;
    if (line.command == "list") {
        status = RunList(out);
    } else if (line.command == "check") {
        status = RunCheck(line.operands[0], ui, out);
    } else if (line.command == "install-key") {
        status = RunInstallKey(line.operands[0], line.force, ui);
    } else if (line.command == "export") {
        status = RunExport(line, ui);
    } else if (line.command == "seal" || line.command == "open") {
        status = RunSingleFile(line, line.command == "seal", ui);
    }
    UnbindCryptoLibrary();
    WipeKeyFileCipher();
    return status;
}

}  // namespace brindlecot
