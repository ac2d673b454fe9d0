#include "config/app/SingleKeyfrm.h"

#include "core/kwKeyCode.h"


#include <memory>

using namespace hkt::skin;

TFrmSingleKey::TFrmSingleKey(QWidget *centreOn)
    : TKeyCaptureDialog(centreOn, QRect(5, 5, 468, 282), SkinImage::Mode::Stretch)
{
    setObjectName(QStringLiteral("FrmSingleKey"));
    TextSingle = addKeyBox(this, QRect(76, 140, 301, 27));
    TextSingle->setObjectName(QStringLiteral("TextSingle"));
    Label1 = addPrompt(QRect(44, 83, 381, 34),
                       QStringLiteral("PLEASE ENTER A SINGLE KEY, IT CAN BE A ANY KEY ON THE KEYBOARD"));
    BTNCANCEL = addCommandButton(QRect(226, 210, 100, 34), QStringLiteral("CANCEL"), ResultCancel,
                                 QStringLiteral("BTNCANCEL"));
    BTNOK = addCommandButton(QRect(130, 210, 94, 34), QStringLiteral("OK"), ResultOK, QStringLiteral("BTNOK"));
    Label2 = addTitle(QStringLiteral("ASSIGN ONE KEYBOARD KEY"), 16);
    finishButtons({BTNOK, BTNCANCEL});

    kwHook.OnRecordKeyboardSingleKey = [this](int Key, uint32_t, int, int AKeyExtended,
                                              const QString &SingleKeyString, bool &) {
        kwHookRecordKeyboardSingleKey(Key, AKeyExtended, SingleKeyString);
    };
}

void TFrmSingleKey::ShowSingleKeyText()
{
    TextSingle->setText(GetKeyDescriptionByVK(FSingleKey.nKeyValue1, FSingleKey.nKey1Extended));
}

void TFrmSingleKey::showEvent(QShowEvent *e)
{
    TKeyCaptureDialog::showEvent(e);
    kwHook.RecordKeyboardSingleKey();
}

void TFrmSingleKey::FormClose()
{
    kwHook.StopRecordKeyboardSingleKey();
}

void TFrmSingleKey::kwHookRecordKeyboardSingleKey(int Key, int AKeyExtended, const QString &SingleKeyString)
{
    TextSingle->setText(SingleKeyString);
    FSingleKey.nKeyValue1 = static_cast<uint16_t>(Key);
    FSingleKey.nKey1Extended = static_cast<uint16_t>(AKeyExtended);
}

int ShowSingleKeyDialog(TSINGLEKEYINFO &ASingleKey)
{
    const auto form = std::make_unique<TFrmSingleKey>(hkt::skin::DialogCentreWindow());
    form->FCreateByOther = true;
    form->FSingleKey = ASingleKey;
    form->ShowSingleKeyText();
    const int result = form->runModal();
    ASingleKey = form->FSingleKey;
    return result;
}
