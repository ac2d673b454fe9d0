// The suite's message dialog with a title, one text, OK and CANCEL (or OK
// alone), drawn in the skin of the main window.
#pragma once

#include "config/ui/kwSkinKit.h"

#include <QString>

class TFrmDialog : public hkt::skin::SkinDialog
{
    Q_OBJECT
public:
    explicit TFrmDialog(QWidget *centreOn = nullptr);

    hkt::skin::SkinLabel *LabelText = nullptr;
    hkt::skin::SkinImage *Btnimage = nullptr; // the warning sign
    hkt::skin::SkinLabel *sdf234234 = nullptr; // spacer above the title
    hkt::skin::StateButton *BTNCANCEL = nullptr;
    hkt::skin::StateButton *BTNOK = nullptr;
    hkt::skin::SkinLabel *LabelTitle = nullptr;
    hkt::skin::SkinImage *ImageBack = nullptr;
    bool FCreateByOther = false;

    // A message that only informs: CANCEL would do what OK does, so it goes
    // and OK stands in the middle.
    void ShowOkOnly();
    // The window carries the title shown, so a task list or a window search
    // names it as the dialog does.
    void NameWindowAfterTitle();

protected:
    // Loads the skin pictures through the global cache.
    void FormCreate();
};

enum class TDialogButtons {
    OkCancel, // a question
    OkOnly,   // a message that only informs
};

enum class TDialogDismissal {
    AsCancel, // Escape, the window manager's close, the program's end: 2
    Tell,     // those give 0 (SkinDialog::ResultDismissed), CANCEL alone 2
};

// Shows the dialog modally: 1 after OK, 2 after CANCEL or any other close.
// The window exists only during the call. Title and text are shown as given
// (callers translate them first).
int ShowDialog(const QString &ATitle, const QString &AText);
// As above, with the buttons and the meaning of a close chosen by the caller.
int ShowDialog(const QString &ATitle, const QString &AText, TDialogButtons AButtons,
               TDialogDismissal ADismissal = TDialogDismissal::AsCancel);
// A message that only informs, with OK alone.
void ShowInformation(const QString &ATitle, const QString &AText);
// The same message opened without a loop of its own: the caller runs on.
// Centred on `centreOn`'s window, on the screen without one; the window
// deletes itself once closed (its finished() signal tells when).
TFrmDialog *OpenInformation(const QString &ATitle, const QString &AText, QWidget *centreOn = nullptr);
