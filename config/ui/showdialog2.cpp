#include "config/ui/showdialog2.h"

#include <QApplication>

#include <memory>

using namespace hkt::skin;

TFrmDialog2::TFrmDialog2(QWidget *centreOn) : TFrmDialog(centreOn)
{
    setObjectName(QStringLiteral("FrmDialog2"));
    Btnimage->setGeometry(13, 81, 126, 115);
    LabelText->setGeometry(121, 95, 301, 46);
    LabelText->setFont(SkinFont(QStringLiteral("Myriad Pro"), 13));
    LabelText2 = Place<SkinLabel>(this, 123, 147, 280, 40);
    LabelText2->setFont(SkinFont(QStringLiteral("Myriad Pro"), 13));
    LabelText2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabelText2->setWordWrap(true);
    SetSkinStyle(LabelText2, QStringLiteral("mylabel"));
    BTNCANCEL->setGeometry(226, 210, 110, 34);
}

int ShowDialog2(const QString &ATitle, const QString &AText, const QString &AText2)
{
    const auto form = std::make_unique<TFrmDialog2>(hkt::skin::DialogCentreWindow());
    form->FCreateByOther = true;
    form->LabelTitle->setSourceText(ATitle);
    form->LabelText->setSourceText(AText);
    form->LabelText2->setSourceText(AText2);
    form->NameWindowAfterTitle();
    return form->runModal();
}
