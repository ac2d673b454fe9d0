// What the single-key, combination and rapid-fire dialogs share: the small
// skinned window with its background picture, title band and OK / CANCEL,
// and a keyboard that belongs to the recording.
//
// These dialogs capture keys through the hook component, which also lets the
// captured keys reach the window. So no key operates the window itself:
// Escape and Enter are keys to capture like any other (QDialog would close on
// them), and the command buttons never take the focus (Space or Enter would
// press them). The buttons, the window manager's close and nothing else end
// the dialog.
#pragma once

#include "config/ui/kwSkinKit.h"

#include <QLineEdit>
#include <QRect>
#include <QString>

#include <initializer_list>

class TKeyCaptureDialog : public hkt::skin::SkinDialog
{
    Q_OBJECT
public:
    // A 478 x 292 window whose background picture covers `back` with `mode`.
    TKeyCaptureDialog(QWidget *centreOn, const QRect &back, hkt::skin::SkinImage::Mode mode);

    hkt::skin::SkinImage *ImageBack = nullptr;
    bool FCreateByOther = false; // set by the show routines; nothing reads it

protected:
    // The title in the top band (padding 50,30,50,0, height 31), "wlabel".
    hkt::skin::SkinLabel *addTitle(const QString &source, int pixelSize);
    // The instruction under the title: "Myriad Pro" 13 bold, left-aligned,
    // wrapped, "MYLABEL".
    hkt::skin::SkinLabel *addPrompt(const QRect &geometry, const QString &source);
    // A read-only box showing a captured key (style "COMBOKEY").
    QLineEdit *addKeyBox(QWidget *parent, const QRect &geometry);
    // Loads the skin pictures and keeps the buttons out of the focus chain.
    void finishButtons(std::initializer_list<hkt::skin::StateButton *> buttons);

    // Runs whenever the window is hidden (closed by any way): stops the
    // recording the dialog started.
    virtual void FormClose() {}

    void keyPressEvent(QKeyEvent *e) override;
    void hideEvent(QHideEvent *e) override;
};
