#include "config/app/macrocreat.h"

#include "config/ui/ImageDataBaseUnit.h"

#include <QGraphicsDropShadowEffect>
#include <QKeyEvent>
#include <QPainter>

#include <memory>

using namespace hkt::skin;

QString CutMacroName(const QString &text)
{
    if (text.size() <= MacroNameMaxLength)
        return text;
    int n = MacroNameMaxLength;
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

TFrmCreat::TFrmCreat(QWidget *centreOn) : SkinDialog(centreOn, 478, 292)
{
    setObjectName(QStringLiteral("FrmCreat"));
    const QString body = QStringLiteral("Myriad Pro");

    ImageBack = Place<SkinImage>(this, 5, 5, 468, 282);
    ImageBack->setMode(SkinImage::Mode::Fit);
    ImageBack->setFallback([](QPainter &p, const QRectF &r) { PaintDialogBack(p, r); });
    // The blue glow around the background picture.
    auto *glow = new QGraphicsDropShadowEffect(ImageBack);
    glow->setColor(QColor::fromRgba(0xFF065CD5));
    glow->setOffset(0, 0);
    glow->setBlurRadius(10);
    ImageBack->setGraphicsEffect(glow);

    Label3 = Place<SkinLabel>(this, 126, 38, 208, 32);
    Label3->setSourceText(QStringLiteral("CREATE MACRO"));
    Label3->setFont(SkinFont(QStringLiteral("Futura Std Medium"), 21, true, true));
    Label3->setAlignment(Qt::AlignCenter);
    SetSkinStyle(Label3, QStringLiteral("wlabel"));

    Label4 = Place<SkinLabel>(this, 26, 107, 198, 25);
    Label4->setSourceText(QStringLiteral("NEW MACRO NAME:"));
    Label4->setFont(SkinFont(body, 16));
    Label4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetSkinStyle(Label4, QStringLiteral("wlabel"));

    TextboxMacroName = Place<QLineEdit>(this, 238, 109, 184, 25);
    TextboxMacroName->setObjectName(QStringLiteral("TextboxMacroName"));
    SetSkinStyle(TextboxMacroName, QStringLiteral("Nametextboxstyle"));
    TextboxMacroName->installEventFilter(this);

    BTNOK = addCommandButton(QRect(130, 225, 94, 34), QStringLiteral("OK"), ResultOK, QStringLiteral("BTNOK"));
    BTNCANCEL = addCommandButton(QRect(240, 225, 100, 34), QStringLiteral("CANCEL"), ResultCancel,
                                 QStringLiteral("BTNCANCEL"));
    // The modal result only ends the modal loop once this click is handled,
    // so the name is taken before the show routine reads it.
    connect(BTNOK, &StateButton::clicked, this, &TFrmCreat::BTNOKClick);

    // The text box is first in the tab order.
    setTabOrder(TextboxMacroName, BTNOK);
    setTabOrder(BTNOK, BTNCANCEL);

    FormCreate();
}

void TFrmCreat::FormCreate()
{
    AssignDialogSkin(GlobalImageDataBase(), {BTNOK, BTNCANCEL}, ImageBack);
}

void TFrmCreat::BTNOKClick()
{
    FMacroName = CutMacroName(TextboxMacroName->text());
}

bool TFrmCreat::ForceForegroundWindow(QWidget *AWindow)
{
    if (!AWindow)
        return false;
    QWidget *w = AWindow->window();
    if (w->isMinimized())
        w->showNormal();
    if (w->isActiveWindow())
        return true;
    w->raise();
    w->activateWindow();
    return w->isActiveWindow();
}

void TFrmCreat::FormActivate()
{
    TextboxMacroName->setFocus(Qt::OtherFocusReason);
}

void TFrmCreat::showEvent(QShowEvent *e)
{
    SkinDialog::showEvent(e);
    ForceForegroundWindow(this);
    // The focus is set now too: a platform that never reports the window as
    // active still types into the name box.
    FormActivate();
}

bool TFrmCreat::event(QEvent *e)
{
    const bool r = SkinDialog::event(e);
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return r;
}

bool TFrmCreat::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == TextboxMacroName && (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)) {
        const auto *k = static_cast<QKeyEvent *>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            if (e->type() == QEvent::KeyPress) {
                FEnterDown = true;
            } else if (!k->isAutoRepeat() && FEnterDown) {
                FEnterDown = false;
                BTNOKClick();
                done(ResultOK);
            }
            return true;
        }
    }
    return SkinDialog::eventFilter(watched, e);
}

int ShowCreateMacro(QString &AMacroName, const QString &AMacroPath, const QString &ATyped)
{
    const auto form = std::make_unique<TFrmCreat>(hkt::skin::DialogCentreWindow());
    form->FCreateByOther = true;
    form->FMacroPath = AMacroPath;
    form->TextboxMacroName->setText(ATyped);
    form->TextboxMacroName->selectAll();
    const int result = form->runModal();
    AMacroName = form->FMacroName;
    return result;
}
