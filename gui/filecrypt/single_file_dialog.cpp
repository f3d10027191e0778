#include "gui/filecrypt/single_file_dialog.h"

#include "gui/controls/gbk_qstring.h"

#include "base/catalogue/dialog_single_file_crypt_keys.h"
#include "base/gbk_text.h"
#include "base/message_catalogue.h"
#include "base/staged_file.h"
#include "cryptlib/include/kestrelvane.h"
#include "gui/resources/resource_paths.h"

#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <sys/stat.h>

#include <optional>

namespace brindlecot {
namespace {

namespace texts = catalogue::DialogSingleFileCrypt;

// Sealed file: the wrapped session key, the data padded to whole blocks (1 to a block of
// padding), and one check block.
constexpr std::uint64_t kSealHeader = KESTRELVANE_SEALED_HEADER_SIZE;
constexpr std::uint64_t kSealBlock = KESTRELVANE_BLOCK_SIZE;
constexpr std::uint64_t kSealTrailer = kSealBlock;

std::optional<std::uint64_t> FileSize(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
}

}  // namespace

controls::TaskProgress SingleFileProgress(const std::string& inputPath,
                                          const std::string& outputPath, bool sealing,
                                          bool convertsWorkbook) {
    controls::TaskProgress progress{StagedBytesFor(outputPath), 0};
    const std::optional<std::uint64_t> inputSize = FileSize(inputPath);
    if (convertsWorkbook || !inputSize)
        return progress;
    if (sealing) {
        progress.expected = *inputSize / kSealBlock * kSealBlock + KESTRELVANE_SEAL_OVERHEAD;
    } else if (*inputSize > kSealHeader + kSealTrailer) {
        // At least one byte of padding goes too; its count is known only at the end.
        progress.expected = *inputSize - kSealHeader - kSealTrailer - 1;
    }
    return progress;
}

SingleFileDialog::SingleFileDialog(UserInterface& ui, QWidget* parent)
    : controls::SkinnedDialog(parent),
      ui_(ui),
      inputEdit_(new QLineEdit(this)),
      inputBrowse_(new QPushButton(this)),
      outputEdit_(new QLineEdit(this)),
      outputBrowse_(new QPushButton(this)),
      encrypt_(new QPushButton(this)),
      decrypt_(new QPushButton(this)),
      return_(new QPushButton(this)),
      task_(new controls::BackgroundTask(this, ui)),
      inputLabel_(CatalogueText(texts::kInputLabel)),
      outputLabel_(CatalogueText(texts::kOutputLabel)) {
    SetClientSizeInDialogUnits(274, 91);
    PlaceInDialogUnits(inputEdit_, 60, 12, 170, 15);
    PlaceInDialogUnits(inputBrowse_, 235, 12, 30, 15);
    PlaceInDialogUnits(outputEdit_, 60, 33, 170, 15);
    PlaceInDialogUnits(outputBrowse_, 235, 33, 30, 15);
    PlaceInDialogUnits(encrypt_, 61, 58, 40, 15);
    PlaceInDialogUnits(decrypt_, 106, 58, 40, 15);
    PlaceInDialogUnits(return_, 190, 58, 40, 15);
    inputEdit_->setObjectName(QStringLiteral("edit1031"));
    inputBrowse_->setObjectName(QStringLiteral("button1037"));
    outputEdit_->setObjectName(QStringLiteral("edit1032"));
    outputBrowse_->setObjectName(QStringLiteral("button1038"));
    encrypt_->setObjectName(QStringLiteral("button1023"));
    decrypt_->setObjectName(QStringLiteral("button1024"));
    return_->setObjectName(QStringLiteral("button2"));
    // The boxes show what was chosen; only the browse buttons change them.
    inputEdit_->setReadOnly(true);
    outputEdit_->setReadOnly(true);

    setWindowTitle(CatalogueText(texts::kTitle));
    inputBrowse_->setText(CatalogueText(texts::kBrowseButton));
    outputBrowse_->setText(CatalogueText(texts::kBrowseButton));
    encrypt_->setText(CatalogueText(texts::kEncryptButton));
    decrypt_->setText(CatalogueText(texts::kDecryptButton));
    return_->setText(CatalogueText(texts::kReturnButton));
    setWindowIcon(resources::ApplicationIcon());
    // The labels are painted: screen readers get them as the boxes' names, and as what
    // tells the two browse buttons apart.
    inputEdit_->setAccessibleName(inputLabel_);
    outputEdit_->setAccessibleName(outputLabel_);
    inputBrowse_->setAccessibleDescription(inputLabel_);
    outputBrowse_->setAccessibleDescription(outputLabel_);

    task_->SetControlsToDisable({inputBrowse_, outputBrowse_, encrypt_, decrypt_, return_});
    connect(inputBrowse_, &QPushButton::clicked, this, &SingleFileDialog::BrowseInput);
    connect(outputBrowse_, &QPushButton::clicked, this, &SingleFileDialog::BrowseOutput);
    connect(encrypt_, &QPushButton::clicked, this, &SingleFileDialog::Encrypt);
    connect(decrypt_, &QPushButton::clicked, this, &SingleFileDialog::Decrypt);
    connect(return_, &QPushButton::clicked, this, &QDialog::reject);

    settings_ = ReadFileCryptConfig(ui_);
}

void SingleFileDialog::BrowseInput() {
    const std::optional<std::string> chosen =
        ui_.ChooseFileToOpen(LoadMessage(texts::kInputFilter), FilePurpose::SingleFileInput);
    if (!chosen)
        return;
    inputPath_ = *chosen;
    inputExtension_ = FileExtension(inputPath_);
    inputEdit_->setText(QFile::decodeName(QByteArray::fromStdString(inputPath_)));
}

void SingleFileDialog::BrowseOutput() {
    const std::optional<std::string> chosen =
        ui_.ChooseFileToSave(LoadMessage(texts::kOutputFilter), FilePurpose::SingleFileOutput);
    if (!chosen)
        return;
    outputPath_ = *chosen;
    outputEdit_->setText(QFile::decodeName(QByteArray::fromStdString(outputPath_)));
}

void SingleFileDialog::Encrypt() {
    Run(Command::Seal);
}

void SingleFileDialog::Decrypt() {
    Run(Command::Open);
}

void SingleFileDialog::Run(Command command) {
    // The work gets its own copies: nothing of the dialog is touched off the GUI thread.
    const std::string input = inputPath_;
    const std::string output = outputPath_;
    const FileCryptSettings settings = settings_;
    const bool sealing = command == Command::Seal;
    const bool converts = settings.bChange && inputExtension_ == "xls";
    task_->Run(
        [=](UserInterface& ui) {
            return sealing ? SealSingleFile(input, output, settings, ui)
                           : OpenSingleFile(input, output, settings, ui);
        },
        [=] { return SingleFileProgress(input, output, sealing, converts); });
}

void SingleFileDialog::PaintLabels(QPainter& painter) {
    // Each label is centred in the space left of its box, on the box's middle line.
    for (const auto& [box, text] :
         {std::pair{inputEdit_, &inputLabel_}, std::pair{outputEdit_, &outputLabel_}}) {
        const QRect geometry = box->geometry();
        const QRect space(0, geometry.top(), geometry.left(), geometry.height());
        painter.drawText(space, Qt::AlignCenter | Qt::TextSingleLine, *text);
    }
}

}  // namespace brindlecot
