#include "gui/filecrypt/single_file_dialog.h"
#include "base/app_path.h"
#include "base/catalogue/dialog_single_file_crypt_keys.h"
#include "base/crypto_binding.h"
#include "base/message_catalogue.h"
#include "base/staged_file.h"
#include "filecrypt/installed_key.h"
#include "filecrypt/key_file_cipher.h"
#include "filecrypt/key_installation.h"
#include "filecrypt/key_rules.h"
#include "tests/filecrypt/filecrypt_test_support.h"
#include "tests/support/stall_meter.h"
#include "tests/support/valid_key.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace brindlecot::testing {
namespace {

namespace texts = catalogue::DialogSingleFileCrypt;
using Kind = ScriptedUserInterface::Kind;

QString LabelledText(CatalogueKey key) {
    return QString::fromStdString(Labelled(key));
}

std::uint64_t SealedSize(std::uint64_t plainSize) {
    return plainSize / 8 * 8 + 40;
}

// A file of `size` bytes of a varied pattern, written in pieces.
void WritePatternFile(const std::filesystem::path& path, std::uint64_t size) {
    std::ofstream out(path, std::ios::binary);
    std::string piece(1 << 20, '\0');
    for (std::size_t i = 0; i < piece.size(); ++i)
        piece[i] = static_cast<char>((i * 131 + 7) % 251);
    for (std::uint64_t written = 0; written < size; written += piece.size())
        out.write(piece.data(), static_cast<std::streamsize>(
                                    std::min<std::uint64_t>(piece.size(), size - written)));
}

// The size of the large file sealed to measure responsiveness: 128 MiB by default (a
// second or two, long enough for the progress window; 8 under the sanitizers, which slow
// the library down many times),
// BRINDLECOT_LARGE_FILE_MB to measure with another (e.g. 1024).
std::uint64_t LargeFileBytes() {
#if defined(__SANITIZE_ADDRESS__)
    constexpr long kDefaultMegabytes = 8;
#else
    constexpr long kDefaultMegabytes = 128;
#endif
    const char* megabytes = std::getenv("BRINDLECOT_LARGE_FILE_MB");
    const long value = megabytes ? std::atol(megabytes) : kDefaultMegabytes;
    return static_cast<std::uint64_t>(value > 0 ? value : kDefaultMegabytes) << 20;
}

qint64 BackgroundTaskDelayMs() {
    return controls::BackgroundTask::kProgressDelay.count();
}

}  // namespace

class SingleFileDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempFolder> app_;
    std::unique_ptr<TempFolder> work_;
    std::unique_ptr<ScriptedUserInterface> ui_;
    std::unique_ptr<SingleFileDialog> dialog_;

    std::string Work(const std::string& name) const { return (*work_ / name).string(); }

    void Open() {
        dialog_ = std::make_unique<SingleFileDialog>(*ui_);
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }

    // Fills the boxes the only way a person can: through the browse buttons.
    void Choose(const std::optional<std::string>& input, const std::optional<std::string>& output) {
        if (input) {
            ui_->filesToOpen = {*input};
            QTest::mouseClick(dialog_->InputBrowseButton(), Qt::LeftButton);
        }
        if (output) {
            ui_->filesToSave = {*output};
            QTest::mouseClick(dialog_->OutputBrowseButton(), Qt::LeftButton);
        }
    }

    // The messages shown for one press of `button`.
    std::vector<std::string> Press(QPushButton* button) {
        ui_->events.clear();
        QTest::mouseClick(button, Qt::LeftButton);
        return ui_->Texts();
    }

    void InstallKey() {
        app_->Copy(KESTRELVANE_LIBRARY, "driver/libKestrelvane.so");
        QVERIFY(BindCryptoLibrary());
        QCOMPARE(InstallAcceptedKey(ValidKey("1234567")), KeyInstallOutcome::Installed);
    }

private slots:
    void initTestCase() { PrepareKeyFileCipher(); }

    void init() {
        app_ = std::make_unique<TempFolder>();
        work_ = std::make_unique<TempFolder>();
        app_->Write("language/msgSimChi.ini", LabelledCatalogue());
        SetAppFolder(app_->path().string());
        SelectMessageCatalogue();
        CurrentInstalledKey().Clear();
        ui_ = std::make_unique<ScriptedUserInterface>();
    }

    void cleanup() {
        dialog_.reset();
        ui_.reset();
        CurrentInstalledKey().Clear();
        work_.reset();
        app_.reset();
    }

    void OpensWithItsCatalogueTextsAndReadOnlyBoxes() {
        Open();
        QCOMPARE(dialog_->windowTitle(), LabelledText(texts::kTitle));
        QCOMPARE(dialog_->InputBrowseButton()->text(), LabelledText(texts::kBrowseButton));
        QCOMPARE(dialog_->OutputBrowseButton()->text(), LabelledText(texts::kBrowseButton));
        QCOMPARE(dialog_->EncryptButton()->text(), LabelledText(texts::kEncryptButton));
        QCOMPARE(dialog_->DecryptButton()->text(), LabelledText(texts::kDecryptButton));
        QCOMPARE(dialog_->ReturnButton()->text(), LabelledText(texts::kReturnButton));
        QVERIFY(!dialog_->windowIcon().isNull());
        QVERIFY(dialog_->InputEdit()->isReadOnly());
        QVERIFY(dialog_->OutputEdit()->isReadOnly());
        // Typing changes nothing.
        QTest::keyClicks(dialog_->InputEdit(), QStringLiteral("/etc/passwd"));
        QVERIFY(dialog_->InputEdit()->text().isEmpty());
        QVERIFY(dialog_->InputPath().empty());
        // No configuration file: no message, no conversion.
        QVERIFY(ui_->events.empty());
        QVERIFY(!dialog_->Settings().bChange);
    }

    // Each label is drawn in the space left of its box, centred on the box's middle line.
    void TheLabelsArePaintedLeftOfTheirBoxes() {
        Open();
        const QImage image = dialog_->grab().toImage();
        for (QLineEdit* box : {dialog_->InputEdit(), dialog_->OutputEdit()}) {
            const QRect geometry = box->geometry();
            int top = geometry.bottom();
            int bottom = geometry.top();
            int left = geometry.left();
            int right = 0;
            for (int y = geometry.top(); y <= geometry.bottom(); ++y) {
                for (int x = 0; x < geometry.left(); ++x) {
                    if (qGray(image.pixel(x, y)) < 110) {
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
                }
            }
            QVERIFY2(right > left, "no label drawn left of a box");
            // Centred both ways, give or take the glyphs' own spacing.
            QVERIFY(std::abs((left + right) - geometry.left()) <= 6);
            QVERIFY(std::abs((top + bottom) - (geometry.top() + geometry.bottom())) <= 6);
        }
    }

    void TheConfigurationIsReadAtOpeningAndAFaultIsShownButTheDialogOpens() {
        app_->Write("conf/filecrypt.config", "$file bChange=true splite=\"|\" $file nothing");
        Open();
        QCOMPARE(ui_->events, (std::vector<ScriptedUserInterface::Event>{
                                  Message(texts::kTitle, texts::kFileWithoutBChange)}));
        QVERIFY(dialog_->isVisible());
        // What was read before the fault stays.
        QVERIFY(dialog_->Settings().bChange);
        QCOMPARE(dialog_->Settings().separator, '|');
    }

    void BrowsingFillsTheBoxesWithTheChosenPathsAndTheInputExtension() {
        Open();
        Choose(Work("年度/a.XLS"), Work("b.sealed"));
        QCOMPARE(ui_->OpenFilters(), std::vector<std::string>{Labelled(texts::kInputFilter)});
        QCOMPARE(ui_->SaveFilters(), std::vector<std::string>{Labelled(texts::kOutputFilter)});
        QCOMPARE(dialog_->InputPath(), Work("年度/a.XLS"));
        QCOMPARE(dialog_->InputEdit()->text(), QString::fromStdString(Work("年度/a.XLS")));
        QCOMPARE(dialog_->InputExtension(), std::string("XLS"));
        QCOMPARE(dialog_->OutputEdit()->text(), QString::fromStdString(Work("b.sealed")));
        // Cancelling a browse keeps what was chosen before.
        ui_->fileToOpen.reset();
        QTest::mouseClick(dialog_->InputBrowseButton(), Qt::LeftButton);
        QCOMPARE(dialog_->InputPath(), Work("年度/a.XLS"));
    }

    // Both commands reload the key first, then check the paths in this order; a refusal
    // touches no file and the dialog stays open.
    void ThePathChecksComeInTheirOrderForBothCommands() {
        app_->Write("conf/filecrypt.config", "$file bChange=true splite=\"|\"");
        InstallKey();
        const std::string existing = work_->Write("a.xls", "workbook");
        for (const bool encrypt : {true, false}) {
            Open();
            QPushButton* command = encrypt ? dialog_->EncryptButton() : dialog_->DecryptButton();
            QCOMPARE(Press(command), std::vector<std::string>{Labelled(texts::kNoInputFile)});
            Choose(Work("missing.xls"), std::nullopt);
            QCOMPARE(Press(command), std::vector<std::string>{Labelled(texts::kNoOutputFile)});
            Choose(std::nullopt, Work("b.xls"));
            QCOMPARE(Press(command), std::vector<std::string>{Labelled(texts::kInputMissing)});
            Choose(existing, existing);
            QCOMPARE(Press(command), std::vector<std::string>{Labelled(texts::kSameFile)});
            Choose(std::nullopt, Work("b.txt"));
            QCOMPARE(Press(command), std::vector<std::string>{Labelled(texts::kExtensionDiffers)});
            QVERIFY(dialog_->isVisible());
            QCOMPARE(work_->Entries(), std::vector<std::string>{"a.xls"});
            QCOMPARE(ui_->Messages().front().caption, Labelled(texts::kTitle));
        }
    }

    void WithoutAKeyNothingIsChecked() {
        Open();
        QCOMPARE(Press(dialog_->EncryptButton()),
                 std::vector<std::string>{Labelled(texts::kNoKeyInstalled)});
        QCOMPARE(Press(dialog_->DecryptButton()),
                 std::vector<std::string>{Labelled(texts::kNoKeyInstalled)});
    }

    void SealsAndOpensAFileFromTheDialog() {
        InstallKey();
        const std::string plain = "20240131|payroll|12345.67\r\n" + std::string(5000, 'x');
        const std::string input = work_->Write("batch.txt", plain);
        Open();
        Choose(input, Work("batch.sealed"));
        QCOMPARE(Press(dialog_->EncryptButton()),
                 std::vector<std::string>{Labelled(texts::kSealDone)});
        const std::string sealed = ReadFileBytes(Work("batch.sealed"));
        QCOMPARE(sealed.size(), SealedSize(plain.size()));
        QVERIFY(sealed.find("payroll") == std::string::npos);

        Choose(Work("batch.sealed"), Work("batch.opened.txt"));
        QCOMPARE(Press(dialog_->DecryptButton()),
                 std::vector<std::string>{Labelled(texts::kOpenDone)});
        QVERIFY(ReadFileBytes(Work("batch.opened.txt")) == plain);
        // Opening what is not sealed fails and leaves no output.
        Choose(input, Work("garbage.txt"));
        QCOMPARE(Press(dialog_->DecryptButton()),
                 std::vector<std::string>{Labelled(texts::kOpenFailed)});
        QCOMPARE(work_->Entries(),
                 (std::vector<std::string>{"batch.opened.txt", "batch.sealed", "batch.txt"}));
        // Buttons are back for the next command.
        QVERIFY(dialog_->EncryptButton()->isEnabled());
        QVERIFY(dialog_->ReturnButton()->isEnabled());
    }

    // Progress is the size of the result being written under its working name beside the
    // output, against the size the result will have.
    void ProgressFollowsTheFileBeingWrittenBesideTheOutput() {
        const std::string input = work_->Write("in.txt", std::string(100, 'x'));
        const std::string output = Work("out.sealed");
        controls::TaskProgress progress = SingleFileProgress(input, output, true, false);
        QCOMPARE(progress.done, std::uint64_t{0});
        QCOMPARE(progress.expected, SealedSize(100));

        std::optional<StagedFile> staged = StagedFile::Create(output);
        QVERIFY(staged);
        QVERIFY(staged->WriteAll(std::vector<unsigned char>(50, 's')));
        // Other files beside it do not count, nor what is staged for another output.
        work_->Write("out.sealed_temp", std::string(70, 'o'));
        work_->Write("out.sealed_tempAb12Cd", std::string(90, 'o'));
        std::optional<StagedFile> other = StagedFile::Create(Work("other.sealed"));
        QVERIFY(other);
        QVERIFY(other->WriteAll(std::vector<unsigned char>(80, 'o')));
        progress = SingleFileProgress(input, output, true, false);
        QCOMPARE(progress.done, std::uint64_t{50});

        // Opening: the header, the check block and at least one byte of padding go.
        const std::string sealed = work_->Write("in.sealed", std::string(SealedSize(100), 's'));
        progress = SingleFileProgress(sealed, Work("out.txt"), false, false);
        QCOMPARE(progress.expected, SealedSize(100) - 24 - 8 - 1);
        // A workbook converted on the way has no size known in advance.
        QCOMPARE(SingleFileProgress(input, output, true, true).expected, std::uint64_t{0});
        QCOMPARE(SingleFileProgress(input, output, true, true).done, std::uint64_t{50});
    }

    // While a large file is sealed the window keeps its event loop (the measured stall is
    // printed), its buttons are disabled, and the progress window shows the bytes written.
    void StaysResponsiveWhileALargeFileIsSealed() {
        InstallKey();
        const std::uint64_t size = LargeFileBytes();
        WritePatternFile(*work_ / "large.bin", size);
        Open();
        Choose(Work("large.bin"), Work("large.sealed"));

        bool buttonsDisabled = false;
        std::uint64_t shownProgress = 0;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (!dialog_->Task().IsRunning())
                return;
            buttonsDisabled =
                !dialog_->EncryptButton()->isEnabled() && !dialog_->DecryptButton()->isEnabled() &&
                !dialog_->InputBrowseButton()->isEnabled() && !dialog_->ReturnButton()->isEnabled();
            if (QDialog* window = dialog_->Task().ProgressWindow()) {
                const QProgressBar* bar = window->findChild<QProgressBar*>();
                if (bar && bar->value() > 0)
                    shownProgress = std::max<std::uint64_t>(shownProgress, bar->value());
            }
        });
        watcher.start(20);
        testing::StallMeter meter(5);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Press(dialog_->EncryptButton()),
                 std::vector<std::string>{Labelled(texts::kSealDone)});
        const qint64 elapsed = clock.elapsed();
        watcher.stop();
        qInfo(
            "sealed %llu MiB from the dialog in %lld ms; longest event-loop stall %lld ms "
            "(%d ticks of 5 ms)",
            static_cast<unsigned long long>(size >> 20), static_cast<long long>(elapsed),
            static_cast<long long>(meter.LongestMs()), meter.Ticks());
        QCOMPARE(std::filesystem::file_size(Work("large.sealed")), SealedSize(size));
        QVERIFY(buttonsDisabled);
        QVERIFY2(meter.LongestMs() < 250, "the window froze while sealing");
        if (elapsed > BackgroundTaskDelayMs() + 500) {
            QVERIFY2(shownProgress > 0, "no progress shown for a long seal");
        }
    }
};

}  // namespace brindlecot::testing

QTEST_MAIN(brindlecot::testing::SingleFileDialogTest)
#include "single_file_dialog_test.moc"
