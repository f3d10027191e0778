#pragma once

#include "base/user_interface.h"
#include "gui/controls/skinned_dialog.h"

#include <string>

class QLineEdit;
class QPushButton;

namespace brindlecot {

// The key installation dialog: one edit box for the key, OK and Cancel, and the prompt
// drawn above the box. OK checks the entry with the core's rules, which report a refused
// key to the person; the dialog then puts the focus back into the box and stays open. It
// ends with OK only once the person has confirmed a valid key, and installs nothing
// itself: the caller installs AcceptedKey().
class KeyDialog : public controls::SkinnedDialog {
    Q_OBJECT

public:
    // Refusals and the question go through `ui`, which must outlive the dialog.
    explicit KeyDialog(UserInterface& ui, QWidget* parent = nullptr);
    ~KeyDialog() override;

    // The confirmed key, in upper case; empty unless the dialog ended with OK.
    const std::string& AcceptedKey() const { return acceptedKey_; }

    QLineEdit* KeyEdit() const { return edit_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

    // The edit box holds at most this many characters.
    static constexpr int kMaxEntryLength = 48;

protected:
    void PaintLabels(QPainter& painter) override;

private:
    void CheckEntry();

    UserInterface& ui_;
    QLineEdit* edit_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QString prompt_;
    std::string acceptedKey_;
};

}  // namespace brindlecot
