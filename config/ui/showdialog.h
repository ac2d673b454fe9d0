// The suite's message dialog with a title, one text, OK and CANCEL, drawn
// in the skin of the main window.
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

protected:
    // Loads the skin pictures through the global cache.
    void FormCreate();
};

// Shows the dialog modally: 1 after OK, 2 after CANCEL or any other close.
// The window exists only during the call. Title and text are shown as given
// (callers translate them first).
int ShowDialog(const QString &ATitle, const QString &AText);
