#pragma once

#include <QDialog>
#include <QImage>

class QPainter;

namespace brindlecot::controls {

// The look shared by the working dialogs: the vertical colour strip (bitmap 162)
// stretched behind the whole client area, buttons and labels showing it through, edit
// boxes and lists keeping their own opaque background, and label texts drawn by the
// dialog itself over the strip.
//
// Layouts are given in dialog units of the dialog font (see dialog_units.h); a derived
// dialog sizes itself with SetClientSizeInDialogUnits and places each control with
// PlaceInDialogUnits.
class SkinnedDialog : public QDialog {
    Q_OBJECT

public:
    explicit SkinnedDialog(QWidget* parent = nullptr);

    // Fixes the client area's size, as a dialog resource does.
    void SetClientSizeInDialogUnits(int width, int height);
    // Moves and sizes a child control.
    void PlaceInDialogUnits(QWidget* control, int x, int y, int width, int height) const;
    // A rectangle of the client area, in pixels.
    QRect DialogUnitsRect(int x, int y, int width, int height) const;

    // The strip as loaded at construction (null when the picture could not be loaded:
    // the dialog is then painted in the plain window colour).
    const QImage& Strip() const { return strip_; }

    // Asked before the window is closed by its owner (a chooser closing with the window it
    // opened): false keeps it open. A window holding unsaved work asks the person here.
    virtual bool ConfirmLeave() { return true; }

protected:
    // Gives the dialog's buttons a visible focus mark.
    bool event(QEvent* event) override;

    // Draws the background and then the labels. Qt paints every widget into an
    // off-screen back buffer first, so the labels never flicker over a fresh background.
    void paintEvent(QPaintEvent* event) override;

    // Draws the dialog's own labels over the strip. The painter has the dialog's font and
    // text colour and draws without a background; the default draws nothing.
    virtual void PaintLabels(QPainter& painter);

    // Paints the face colour and the strip: its top min(strip height, client height)
    // rows, smoothly stretched over the whole client rectangle.
    void PaintStrip(QPainter& painter) const;

private:
    QImage strip_;
};

}  // namespace brindlecot::controls
