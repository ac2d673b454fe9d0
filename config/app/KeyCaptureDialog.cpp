#include "config/app/KeyCaptureDialog.h"

#include "config/ui/ImageDataBaseUnit.h"

#include <QHideEvent>
#include <QKeyEvent>
#include <QPainter>

using namespace hkt::skin;

TKeyCaptureDialog::TKeyCaptureDialog(QWidget *centreOn, const QRect &back, SkinImage::Mode mode)
    : SkinDialog(centreOn, 478, 292)
{
    ImageBack = Place<SkinImage>(this, back.x(), back.y(), back.width(), back.height());
    ImageBack->setMode(mode);
    if (mode == SkinImage::Mode::Stretch)
        ImageBack->setSliceMargin(14); // the frame keeps its width when stretched
    ImageBack->setFallback([](QPainter &p, const QRectF &r) { PaintDialogBack(p, r); });
    // With no focusable control the window itself takes the keys.
    setFocusPolicy(Qt::StrongFocus);
}

SkinLabel *TKeyCaptureDialog::addTitle(const QString &source, int pixelSize)
{
    auto *l = Place<SkinLabel>(this, 50, 30, width() - 100, 31);
    l->setSourceText(source);
    l->setFont(SkinFont(QStringLiteral("Futura Std Medium"), pixelSize, true, true));
    l->setAlignment(Qt::AlignCenter);
    SetSkinStyle(l, QStringLiteral("wlabel"));
    return l;
}

SkinLabel *TKeyCaptureDialog::addPrompt(const QRect &geometry, const QString &source)
{
    auto *l = Place<SkinLabel>(this, geometry.x(), geometry.y(), geometry.width(), geometry.height());
    l->setSourceText(source);
    l->setFont(SkinFont(QStringLiteral("Myriad Pro"), 13, true));
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    l->setWordWrap(true);
    SetSkinStyle(l, QStringLiteral("MYLABEL"));
    return l;
}

QLineEdit *TKeyCaptureDialog::addKeyBox(QWidget *parent, const QRect &geometry)
{
    auto *box = Place<QLineEdit>(parent, geometry.x(), geometry.y(), geometry.width(), geometry.height());
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    box->setAlignment(Qt::AlignCenter);
    SetSkinStyle(box, QStringLiteral("COMBOKEY"));
    return box;
}

void TKeyCaptureDialog::finishButtons(std::initializer_list<StateButton *> buttons)
{
    for (StateButton *b : buttons)
        b->setFocusPolicy(Qt::NoFocus);
    AssignDialogSkin(GlobalImageDataBase(), buttons, ImageBack);
}

void TKeyCaptureDialog::keyPressEvent(QKeyEvent *e)
{
    // Every key is for the recording; none answers the dialog.
    e->accept();
}

void TKeyCaptureDialog::hideEvent(QHideEvent *e)
{
    // A window the system hides (minimised) is not closed.
    if (!e->spontaneous())
        FormClose();
    SkinDialog::hideEvent(e);
}
