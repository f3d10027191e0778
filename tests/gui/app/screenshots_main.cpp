// Renders every registered dialog in both catalogues to PNG files, for people to look at:
// brindlecot_screenshots OUTPUT_FOLDER. Run it on a real display (scripts/screenshots.sh
// uses Xvfb) so that fonts and styles are the ones a clerk sees.
//
// brindlecot_screenshots --show-all instead shows every registered window at once, in the
// simplified catalogue, with the editor's context menu open, and runs until it is ended:
// scripts/accessibility_check.sh reads them through the accessibility bus.
// brindlecot_screenshots --check-keyboard shows each window in turn and fails on what a
// person without a mouse would meet (tests/gui/app/keyboard_check.h).
#include "base/app_path.h"
#include "base/message_catalogue.h"
#include "filecrypt/key_file_cipher.h"
#include "gui/controls/dialog_units.h"
#include "gui/editor/template_editor_dialog.h"
#include "tests/gui/app/keyboard_check.h"
#include "tests/support/screenshot_registry.h"
#include "tests/support/test_files.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace {

using brindlecot::testing::Screenshot;
using brindlecot::testing::Screenshots;

struct Catalogue {
    int mode;
    const char* label;
};

// Window managers draw the caption, so a grab of the window lacks it; the title is a
// catalogue text like the others, so the picture gets a plain caption bar above the
// client area, as wide as the window, eliding what would not fit.
QImage WithCaption(const QWidget& window, const QImage& client) {
    const int bar = 26;
    QImage framed(client.width(), client.height() + bar, QImage::Format_RGB32);
    framed.fill(QColor(0x2B, 0x3A, 0x4E));
    QPainter painter(&framed);
    painter.drawImage(0, bar, client);
    int textLeft = 6;
    const QIcon icon = window.windowIcon();
    if (!icon.isNull()) {
        painter.drawPixmap(5, (bar - 16) / 2, icon.pixmap(16, 16));
        textLeft = 26;
    }
    QFont font = brindlecot::controls::DialogFont();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRect textRect(textLeft, 0, framed.width() - textLeft - 6, bar);
    painter.drawText(
        textRect, Qt::AlignVCenter | Qt::AlignLeft,
        painter.fontMetrics().elidedText(window.windowTitle(), Qt::ElideRight, textRect.width()));
    return framed;
}

bool Render(const Screenshot& screenshot, const Catalogue& catalogue, const QDir& out) {
    std::unique_ptr<QWidget> widget = screenshot.make();
    if (!widget) {
        std::fprintf(stderr, "%s: the factory made no widget\n", screenshot.name.c_str());
        return false;
    }
    widget->show();
    if (!QTest::qWaitForWindowExposed(widget.get()))
        std::fprintf(stderr, "%s: the window was not exposed in time\n", screenshot.name.c_str());
    // Let layouts settle and every deferred paint run.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 150)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    const QImage client = widget->grab().toImage();
    const QString path = out.filePath(QString::fromStdString(screenshot.name) + QLatin1Char('-') +
                                      QLatin1String(catalogue.label) + QStringLiteral(".png"));
    const bool saved = WithCaption(*widget, client).save(path, "PNG");
    std::printf("%s %s (%dx%d)\n", saved ? "wrote" : "COULD NOT WRITE", qPrintable(path),
                client.width(), client.height());
    widget->close();
    return saved;
}

// Pictures of a moment (a menu drawn over its window) are no windows of their own.
bool IsPicture(const QWidget& widget) {
    return qobject_cast<const QLabel*>(&widget) != nullptr;
}

int CheckKeyboard(const std::vector<Screenshot>& screenshots) {
    int faults = 0;
    for (const Screenshot& screenshot : screenshots) {
        std::unique_ptr<QWidget> window = screenshot.make();
        if (!window || IsPicture(*window))
            continue;
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            std::fprintf(stderr, "%s: the window did not become active\n", screenshot.name.c_str());
        for (const QString& fault : brindlecot::testing::KeyboardFaults(*window)) {
            std::printf("%s: %s\n", screenshot.name.c_str(), qPrintable(fault));
            ++faults;
        }
        window->close();
    }
    std::printf("%d keyboard faults in %zu windows\n", faults, screenshots.size());
    return faults == 0 ? 0 : 1;
}

int ShowAll(const std::vector<Screenshot>& screenshots) {
    std::vector<std::unique_ptr<QWidget>> windows;
    QMenu* popup = nullptr;
    for (const Screenshot& screenshot : screenshots) {
        std::unique_ptr<QWidget> window = screenshot.make();
        if (!window || IsPicture(*window))
            continue;
        if (auto* editor = qobject_cast<brindlecot::TemplateEditorDialog*>(window.get()))
            popup = editor->ContextMenu();
        window->show();
        windows.push_back(std::move(window));
    }
    if (popup != nullptr)
        popup->popup(popup->parentWidget()->geometry().center());
    std::printf("%zu\n", windows.size());
    std::fflush(stdout);
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setFont(brindlecot::controls::DialogFont());
    const std::string_view mode = argc > 1 ? argv[1] : "";
    const bool showAll = mode == "--show-all";
    const bool checkKeyboard = mode == "--check-keyboard";
    const QDir out(
        QString::fromLocal8Bit(argc > 1 && !showAll && !checkKeyboard ? argv[1] : "screenshots"));
    if (!showAll && !checkKeyboard && !out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.path()));
        return 1;
    }
    std::vector<Screenshot> screenshots = Screenshots();
    std::sort(screenshots.begin(), screenshots.end(),
              [](const Screenshot& a, const Screenshot& b) { return a.name < b.name; });
    if (screenshots.empty()) {
        std::fprintf(stderr, "no dialogs are registered\n");
        return 1;
    }

    brindlecot::testing::TempFolder folder;
    std::filesystem::copy(BRINDLECOT_SOURCE_DIR "/dist", folder.path(),
                          std::filesystem::copy_options::recursive);
    brindlecot::PrepareKeyFileCipher();
    if (showAll || checkKeyboard) {
        folder.Write("language/config.ini", "[language]\nmode=0\n");
        brindlecot::SetAppFolder(folder.path().string());
        brindlecot::SelectMessageCatalogue();
        return showAll ? ShowAll(screenshots) : CheckKeyboard(screenshots);
    }
    bool ok = true;
    for (const Catalogue catalogue : {Catalogue{0, "simplified"}, Catalogue{1, "traditional"}}) {
        folder.Write("language/config.ini",
                     "[language]\nmode=" + std::to_string(catalogue.mode) + "\n");
        brindlecot::SetAppFolder(folder.path().string());
        brindlecot::SelectMessageCatalogue();
        for (const Screenshot& screenshot : screenshots)
            ok = Render(screenshot, catalogue, out) && ok;
    }
    return ok ? 0 : 1;
}
