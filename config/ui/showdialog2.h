// The suite's message dialog with a title, two texts, OK and CANCEL.
#pragma once

#include "config/ui/showdialog.h"

class TFrmDialog2 : public TFrmDialog
{
    Q_OBJECT
public:
    explicit TFrmDialog2(QWidget *centreOn = nullptr);

    hkt::skin::SkinLabel *LabelText2 = nullptr;
};

// As ShowDialog, with a second text under the first.
int ShowDialog2(const QString &ATitle, const QString &AText, const QString &AText2);
