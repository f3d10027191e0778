#include "gui/app/qt_user_interface.h"

#include "base/app_path.h"
#include "gui/controls/gbk_qstring.h"

#include "base/gbk_text.h"
#include "gui/app/file_filter.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QStringList>

#include <cstdio>
#include <vector>

namespace brindlecot {
namespace {

void WriteToStandardError(const std::string& caption, const std::string& text) {
    const std::string line = GbkToUtf8ForDisplay(caption) + ": " + GbkToUtf8ForDisplay(text) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

std::vector<FileFilterEntry> FilterEntries(const std::string& gbkFilter) {
    return ParseCatalogueFilter(GbkToUtf8ForDisplay(gbkFilter));
}

QStringList QtNameFilters(const std::vector<FileFilterEntry>& entries) {
    QStringList filters;
    for (const FileFilterEntry& entry : entries)
        filters << QString::fromStdString(ToQtNameFilter(entry));
    return filters;
}

QString PurposeKey(FilePurpose purpose) {
    switch (purpose) {
        case FilePurpose::Import:
            return QStringLiteral("folders/import");
        case FilePurpose::Export:
            return QStringLiteral("folders/export");
        case FilePurpose::SingleFileInput:
            return QStringLiteral("folders/single_file_input");
        case FilePurpose::SingleFileOutput:
            return QStringLiteral("folders/single_file_output");
    }
    return QStringLiteral("folders/other");
}

QString FoldersFile() {
    const std::string folder = UserConfigFolder();
    return folder.empty() ? QString()
                          : QFile::decodeName(QByteArray::fromStdString(folder)) +
                                QStringLiteral("/folders.ini");
}

std::optional<std::string> ChosenPath(QFileDialog& dialog, FilePurpose purpose) {
    const QString remembered = RememberedFolder(purpose);
    if (!remembered.isEmpty())
        dialog.setDirectory(remembered);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    RememberFolderOf(purpose, files.first());
    // Paths are the file system's own bytes, never GBK.
    return QFile::encodeName(files.first()).toStdString();
}

}  // namespace

std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* owner, const std::string& caption,
                                             const std::string& text, bool defaultYes) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Question, FromGbk(caption), FromGbk(text),
                                             QMessageBox::Yes | QMessageBox::No, owner);
    box->setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

QString RememberedFolder(FilePurpose purpose) {
    const QString file = FoldersFile();
    if (file.isEmpty())
        return {};
    const QString folder =
        QSettings(file, QSettings::IniFormat).value(PurposeKey(purpose)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void RememberFolderOf(FilePurpose purpose, const QString& chosenFile) {
    const QString file = FoldersFile();
    // The folder may hold the clerk's key as well: it is made owner-only, like for keyConf.
    if (file.isEmpty() || !MakeOwnerOnlyFolders(UserConfigFolder()))
        return;
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(PurposeKey(purpose), QFileInfo(chosenFile).absolutePath());
    settings.sync();
}

QtUserInterface::QtUserInterface(QWidget* owner, SaveDialog saveDialog)
    : owner_(owner), saveDialog_(saveDialog) {}

void QtUserInterface::SetOwner(QWidget* owner) {
    owner_ = owner;
}

bool QtUserInterface::PersonCanAnswer() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void QtUserInterface::ShowMessage(const std::string& caption, const std::string& text) {
    if (!PersonCanAnswer()) {
        WriteToStandardError(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, FromGbk(caption), FromGbk(text), QMessageBox::Ok, owner_);
    box.exec();
}

bool QtUserInterface::AskYesNo(const std::string& caption, const std::string& text) {
    return Ask(caption, text, true);
}

bool QtUserInterface::AskYesNoDefaultNo(const std::string& caption, const std::string& text) {
    return Ask(caption, text, false);
}

bool QtUserInterface::Ask(const std::string& caption, const std::string& text, bool defaultYes) {
    if (!PersonCanAnswer()) {
        WriteToStandardError(caption, text);
        return false;
    }
    return MakeQuestionBox(owner_, caption, text, defaultYes)->exec() == QMessageBox::Yes;
}

std::optional<std::string> QtUserInterface::ChooseFileToOpen(const std::string& filter,
                                                             FilePurpose purpose) {
    if (!PersonCanAnswer())
        return std::nullopt;
    QFileDialog dialog(owner_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = QtNameFilters(FilterEntries(filter));
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    return ChosenPath(dialog, purpose);
}

std::optional<std::string> QtUserInterface::ChooseFileToSave(const std::string& filter,
                                                             FilePurpose purpose) {
    if (!PersonCanAnswer())
        return std::nullopt;
    if (saveDialog_ == SaveDialog::ExtensionByTypeOrder) {
        CFileDlgRe dialog(owner_, QtNameFilters(FilterEntries(filter)));
        return ChosenPath(dialog, purpose);
    }
    QFileDialog dialog(owner_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A name typed without an extension gets the selected type's extension before the
    // overwrite prompt, so the prompt asks about the file that will really be written.
    const std::vector<FileFilterEntry> entries = FilterEntries(filter);
    const QStringList filters = QtNameFilters(entries);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.setDefaultSuffix(QString::fromStdString(DefaultSuffixFor(entries.front())));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, &entries, filters](const QString& selected) {
                             const qsizetype index = filters.indexOf(selected);
                             if (index >= 0) {
                                 dialog.setDefaultSuffix(QString::fromStdString(
                                     DefaultSuffixFor(entries[static_cast<size_t>(index)])));
                             }
                         });
    }
    return ChosenPath(dialog, purpose);
}

CFileDlgRe::CFileDlgRe(QWidget* owner, const QStringList& nameFilters) : QFileDialog(owner) {
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    // A desktop's own dialog may not tell of a type change, and the rule depends on it.
    setOption(QFileDialog::DontUseNativeDialog);
    if (!nameFilters.isEmpty())
        setNameFilters(nameFilters);
    setDefaultSuffix(QString());
    connect(this, &QFileDialog::filterSelected, this, [this](const QString& selected) {
        const std::optional<std::string> extension =
            ExtensionAfterTypeChange(static_cast<int>(this->nameFilters().indexOf(selected)));
        if (extension)
            setDefaultSuffix(QString::fromStdString(*extension));
    });
}

}  // namespace brindlecot
