#pragma once

#include <QDialog>

namespace brindlecot {

// The menu item that opens the About box. Like the About box's own texts, it is fixed in
// the program's resources and shown the same under either catalogue.
inline constexpr char kAboutMenuText[] = "关于 Tarnwick(&A)...";

// The About box: the application icon, the program's name and version, and OK. It has
// the plain dialog look, not the working dialogs' strip.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace brindlecot
