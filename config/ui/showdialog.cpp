#include "config/ui/showdialog.h"

#include "config/ui/ImageDataBaseUnit.h"

#include <QApplication>
#include <QPainter>

#include <memory>

using namespace hkt::skin;

TFrmDialog::TFrmDialog(QWidget *centreOn) : SkinDialog(centreOn, 478, 292)
{
    setObjectName(QStringLiteral("FrmDialog"));
    const QString body = QStringLiteral("Myriad Pro");

    ImageBack = Place<SkinImage>(this, 5, 5, 468, 282);
    ImageBack->setSliceMargin(14); // the frame keeps its width when stretched
    ImageBack->setFallback([](QPainter &p, const QRectF &r) { PaintDialogBack(p, r); });

    sdf234234 = Place<SkinLabel>(this, 20, 10, 478 - 40, 26);
    sdf234234->setFont(SkinFont(body, 14, true));

    LabelTitle = Place<SkinLabel>(this, 50, 36, 478 - 100, 31);
    LabelTitle->setFont(SkinFont(QStringLiteral("Futura Std Medium"), 16, true, true));
    LabelTitle->setAlignment(Qt::AlignCenter);
    SetSkinStyle(LabelTitle, QStringLiteral("wlabel"));

    Btnimage = Place<SkinImage>(this, 20, 83, 125, 115);
    SetSkinStyle(Btnimage, QStringLiteral("myiconwarning"));
    // The sign sits left in its box, clear of the text that starts at 123.
    Btnimage->setFallback([](QPainter &p, const QRectF &r) {
        PaintWarningIcon(p, QRectF(r.left(), r.top() + 8, r.width() - 26, r.height() - 16));
    });

    LabelText = Place<SkinLabel>(this, 123, 83, 284, 96);
    LabelText->setFont(SkinFont(body, 14));
    LabelText->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabelText->setWordWrap(true);
    SetSkinStyle(LabelText, QStringLiteral("mylabel"));

    BTNOK = addCommandButton(QRect(130, 210, 94, 34), QStringLiteral("OK"), ResultOK, QStringLiteral("BTNOK"));
    BTNCANCEL = addCommandButton(QRect(226, 210, 100, 34), QStringLiteral("CANCEL"), ResultCancel,
                                 QStringLiteral("BTNCANCEL"));

    FormCreate();
}

void TFrmDialog::FormCreate()
{
    AssignDialogSkin(GlobalImageDataBase(), {BTNOK, BTNCANCEL}, ImageBack);
}

void TFrmDialog::NameWindowAfterTitle()
{
    setWindowTitle(LabelTitle->text());
}

void TFrmDialog::ShowOkOnly()
{
    BTNCANCEL->hide();
    BTNOK->move((width() - BTNOK->width()) / 2, BTNOK->y());
}

int ShowDialog(const QString &ATitle, const QString &AText)
{
    return ShowDialog(ATitle, AText, TDialogButtons::OkCancel);
}

int ShowDialog(const QString &ATitle, const QString &AText, TDialogButtons AButtons, TDialogDismissal ADismissal)
{
    const auto form = std::make_unique<TFrmDialog>(hkt::skin::DialogCentreWindow());
    form->FCreateByOther = true;
    form->LabelTitle->setSourceText(ATitle);
    form->LabelText->setSourceText(AText);
    form->NameWindowAfterTitle();
    if (AButtons == TDialogButtons::OkOnly)
        form->ShowOkOnly();
    return form->runModal(ADismissal == TDialogDismissal::Tell);
}

void ShowInformation(const QString &ATitle, const QString &AText)
{
    ShowDialog(ATitle, AText, TDialogButtons::OkOnly);
}

TFrmDialog *OpenInformation(const QString &ATitle, const QString &AText, QWidget *centreOn)
{
    auto *form = new TFrmDialog(centreOn);
    form->FCreateByOther = true;
    form->LabelTitle->setSourceText(ATitle);
    form->LabelText->setSourceText(AText);
    form->NameWindowAfterTitle();
    form->ShowOkOnly();
    form->setModal(false);
    QObject::connect(form, &QDialog::finished, form, &QObject::deleteLater);
    form->show();
    return form;
}
