#include "config/app/combofrm.h"

#include "core/kwKeyCode.h"


#include <memory>

using namespace hkt::skin;

QString ComboKeyText(const TCOMBOKEYINFO &AComboKey)
{
    QString text;
    const QString d1 = GetKeyDescriptionByVK(AComboKey.nKeyValue1, AComboKey.nKey1Extended);
    if (!d1.isEmpty())
        text = GetModifierText(static_cast<uint8_t>(AComboKey.nModifier)) + d1;
    const QString d2 = GetKeyDescriptionByVK(AComboKey.nKeyValue2, AComboKey.nKey2Extended);
    if (!d2.isEmpty())
        text += QLatin1Char('+') + d2;
    return text;
}

TFrmCombo::TFrmCombo(QWidget *centreOn)
    : TKeyCaptureDialog(centreOn, QRect(0, 0, 478, 292), SkinImage::Mode::Stretch)
{
    setObjectName(QStringLiteral("FrmCombo"));
    TextCombo = addKeyBox(this, QRect(78, 148, 301, 27));
    TextCombo->setObjectName(QStringLiteral("TextCombo"));
    BtnOK = addCommandButton(QRect(122, 225, 94, 34), QStringLiteral("OK"), ResultOK, QStringLiteral("BtnOK"));
    Label1 = addPrompt(QRect(42, 81, 394, 47),
                       QStringLiteral("PLEASE ENTER THE KEY COMBINATION, IT CAN BE A WIN, CTRL, SHIFT, ALT + ANY OF "
                                      "THE KEYBOARD KEYS."));
    BTNCANCEL = addCommandButton(QRect(226, 225, 100, 34), QStringLiteral("CANCEL"), ResultCancel,
                                 QStringLiteral("BTNCANCEL"));
    Label2 = addTitle(QStringLiteral("ASSIGN COMBO KEY"), 16);
    finishButtons({BtnOK, BTNCANCEL});

    kwHook.OnRecordKeyboardComboKey = [this](int Key1, int Key1Extended, int Key2, int Key2Extended, int Modifier,
                                             const QString &ComboKeyString) {
        kwHookRecordKeyboardComboKey(Key1, Key1Extended, Key2, Key2Extended, Modifier, ComboKeyString);
    };
}

void TFrmCombo::ShowComboKeyText()
{
    const QString text = ComboKeyText(FComboKey);
    if (!text.isEmpty())
        TextCombo->setText(text);
}

void TFrmCombo::showEvent(QShowEvent *e)
{
    TKeyCaptureDialog::showEvent(e);
    kwHook.RecordKeyboardComboKey();
}

void TFrmCombo::FormClose()
{
    kwHook.StopRecordKeyboardComboKey();
}

void TFrmCombo::kwHookRecordKeyboardComboKey(int Key1, int Key1Extended, int Key2, int Key2Extended, int Modifier,
                                             const QString &ComboKeyString)
{
    TextCombo->setText(ComboKeyString);
    FComboKey.nKeyValue1 = static_cast<uint16_t>(Key1);
    FComboKey.nKey1Extended = static_cast<uint16_t>(Key1Extended);
    FComboKey.nKeyValue2 = static_cast<uint16_t>(Key2);
    FComboKey.nKey2Extended = static_cast<uint16_t>(Key2Extended);
    FComboKey.nModifier = static_cast<uint16_t>(Modifier);
}

int ShowComboKeyDialog(TCOMBOKEYINFO &AComboKey)
{
    const auto form = std::make_unique<TFrmCombo>(hkt::skin::DialogCentreWindow());
    form->FCreateByOther = true;
    form->FComboKey = AComboKey;
    form->ShowComboKeyText();
    const int result = form->runModal();
    AComboKey = form->FComboKey;
    return result;
}
