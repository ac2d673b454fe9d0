#include "config/app/fireset.h"

#include "config/ui/kwLanguage.h"
#include "core/kwKeyCode.h"

#include <QApplication>
#include <QShowEvent>

#include <algorithm>
#include <array>
#include <iterator>
#include <memory>

using namespace hkt::skin;

TFireType FireTypeOfKeyCode(uint16_t KeyCode)
{
    switch (KeyCode) {
    case FIRE_KEY_LEFT_BUTTON:
        return TFireType::Left;
    case FIRE_KEY_RIGHT_BUTTON:
        return TFireType::Right;
    case FIRE_KEY_MIDDLE_BUTTON:
        return TFireType::Middle;
    default:
        return TFireType::Keyboard;
    }
}

uint16_t FireKeyCodeOf(TFireType AType, const TSINGLEKEYINFO &KeyValue)
{
    switch (AType) {
    case TFireType::Left:
        return FIRE_KEY_LEFT_BUTTON;
    case TFireType::Right:
        return FIRE_KEY_RIGHT_BUTTON;
    case TFireType::Middle:
        return FIRE_KEY_MIDDLE_BUTTON;
    case TFireType::Keyboard:
        break;
    }
    if (KeyValue.nKeyValue1 == 0)
        return 0;
    return static_cast<uint16_t>(GetHIDCodeByVK(KeyValue.nKeyValue1, KeyValue.nKey1Extended));
}

namespace {

// The content of an expander starts below its heading.
constexpr int ContentTop = 22;

QRadioButton *AddRadio(QGroupBox *box, int x, int y, int w, const QString &text)
{
    auto *r = Place<QRadioButton>(box, x, ContentTop + y, w, 20);
    r->setText(text);
    // A focused radio would take the arrow keys and Space being captured and
    // change the choice with them.
    r->setFocusPolicy(Qt::NoFocus);
    SetSkinStyle(r, QStringLiteral("MyRadioCheckBoxStyle"));
    return r;
}

NumberBox *AddNumberBox(QGroupBox *box, int x, int y, int w)
{
    auto *n = Place<NumberBox>(box, x, ContentTop + y, w, 22);
    n->setRange(1, 255);
    n->setButtonsVisible(false);
    n->setAlignment(Qt::AlignCenter);
    n->setFont(SkinFont(QStringLiteral("Verdana"), 13, true));
    SetSkinStyle(n, QStringLiteral("NewTextBox"));
    return n;
}

SkinLabel *AddOptionLabel(QGroupBox *box, int y, const QString &source)
{
    auto *l = Place<SkinLabel>(box, 4, ContentTop + y, 140, 22);
    l->setSourceText(source);
    l->setFont(SkinFont(QStringLiteral("Verdana"), 14));
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetSkinStyle(l, QStringLiteral("wlabel"));
    return l;
}

} // namespace

TFrmFire::TFrmFire(QWidget *centreOn)
    : TKeyCaptureDialog(centreOn, QRect(0, 0, 478, 292), SkinImage::Mode::Fit)
{
    setObjectName(QStringLiteral("FrmFire"));

    // The top band, 70 high.
    LabelTitle = Place<SkinLabel>(this, 119, 30, 240, 32);
    LabelTitle->setSourceText(QStringLiteral("Fire Settings"));
    LabelTitle->setFont(SkinFont(QStringLiteral("Futura Std Medium"), 21, true, true));
    LabelTitle->setAlignment(Qt::AlignCenter);
    SetSkinStyle(LabelTitle, QStringLiteral("wlabel"));

    // The middle band: what is fired at the left, the counts at the right.
    Expander1 = Place<QGroupBox>(this, 20, 72, 210, ContentTop + 118);
    Expander1->setTitle(QStringLiteral("Type"));
    SetSkinStyle(Expander1, QStringLiteral("myexpanderstyle"));
    RadioButton1 = AddRadio(Expander1, 17, 6, 50, QStringLiteral("L"));
    RadioButton2 = AddRadio(Expander1, 70, 6, 50, QStringLiteral("R"));
    RadioButton3 = AddRadio(Expander1, 140, 6, 50, QStringLiteral("M"));
    RadioButton4 = AddRadio(Expander1, 17, 30, 180, QStringLiteral("Keyboard Key:"));
    TextSingle = addKeyBox(Expander1, QRect(40, ContentTop + 60, 130, 27));
    TextSingle->setObjectName(QStringLiteral("TextSingle"));
    TextSingle->setEnabled(false);

    Expander2 = Place<QGroupBox>(this, 240, 72, 220, ContentTop + 118);
    Expander2->setTitle(QStringLiteral("Options"));
    SetSkinStyle(Expander2, QStringLiteral("myexpanderstyle"));
    LabelFire = AddOptionLabel(Expander2, 24, QStringLiteral("Fire(times):"));
    NumBoxFire = AddNumberBox(Expander2, 149, 24, 64);
    Label3 = AddOptionLabel(Expander2, 65, QStringLiteral("Delay(ms):"));
    NumboxDelay = AddNumberBox(Expander2, 150, 65, 62);

    BTNOK = addCommandButton(QRect(122, 225, 94, 34), QStringLiteral("OK"), ResultOK, QStringLiteral("BTNOK"), 13);
    BTNCANCEL = addCommandButton(QRect(226, 225, 94, 34), QStringLiteral("Cancel"), ResultCancel,
                                 QStringLiteral("BTNCANCEL"));
    // The modal result only ends the modal loop once this click is handled.
    connect(BTNOK, &StateButton::clicked, this, &TFrmFire::BTNOKClick);
    finishButtons({BTNOK, BTNCANCEL});

    const std::array<QRadioButton *, 4> radios{RadioButton1, RadioButton2, RadioButton3, RadioButton4};
    for (int i = 0; i < 4; ++i)
        FRadioType.addButton(radios[size_t(i)], i);
    RadioButton1->setChecked(true);
    // Only the choice that becomes checked acts: the one losing its check
    // reports first and would otherwise stop and restart the capture.
    connect(&FRadioType, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            doFireTypeChanged(static_cast<TFireType>(id));
    });

    kwHook1.OnRecordKeyboardSingleKey = [this](int Key, uint32_t, int AState, int AKeyExtended,
                                               const QString &SingleKeyString, bool &) {
        kwHook1RecordKeyboardSingleKey(Key, AState, AKeyExtended, SingleKeyString);
    };
    // The expander headings and the radio captions.
    TranslateObjectTree(this);
}

QRadioButton *TFrmFire::RadioOf(TFireType AType) const
{
    return qobject_cast<QRadioButton *>(FRadioType.button(static_cast<int>(AType)));
}

void TFrmFire::StartRecording()
{
    kwHook1.RecordKeyboardSingleKey();
    FRecording = true;
    // The keys go to the window, which only records them, not into a count box.
    setFocus(Qt::OtherFocusReason);
}

void TFrmFire::StopRecording()
{
    kwHook1.StopRecordKeyboardSingleKey();
    FRecording = false;
}

void TFrmFire::FormShow()
{
    const TFireType type = FireTypeOfKeyCode(FAdvFireKeyInfo.KeyCode);
    RadioOf(type)->setChecked(true);
    if (type == TFireType::Keyboard) {
        const TSINGLEKEYINFO &k = FAdvFireKeyInfo.KeyValue;
        TextSingle->setText(GetKeyDescriptionByVK(k.nKeyValue1, k.nKey1Extended));
        StopRecording();
        StartRecording();
    }
    if (FAdvFireKeyInfo.nLoopCount != 0) {
        NumBoxFire->setValue(FAdvFireKeyInfo.nLoopCount);
        NumboxDelay->setValue(FAdvFireKeyInfo.DelyValue);
    } else {
        NumBoxFire->setValue(2);
        NumboxDelay->setValue(60);
    }
}

void TFrmFire::doFireTypeChanged(TFireType AType)
{
    TextSingle->setEnabled(false);
    StopRecording();
    if (AType == TFireType::Keyboard) {
        TextSingle->setEnabled(true);
        StartRecording();
    }
    FAdvFireKeyInfo.KeyCode = FireKeyCodeOf(AType, FAdvFireKeyInfo.KeyValue);
}

namespace {

bool IsCtrlKey(int Key)
{
    return Key == 0x11 || Key == 0xA2 || Key == 0xA3;
}

// Keys that edit a number where they are typed: the digits of the main
// block and the keypad, Backspace, Delete, Insert, the arrows, Home and End,
// and the Shift and Ctrl that start the box's shortcuts.
bool IsCountEditKey(int Key)
{
    static constexpr int kEditKeys[] = {0x08, 0x2E, 0x2D, 0x25, 0x26, 0x27, 0x28, 0x24, 0x23, 0x10, 0xA0, 0xA1};
    return (Key >= 0x30 && Key <= 0x39) || (Key >= 0x60 && Key <= 0x69) || IsCtrlKey(Key) ||
           std::find(std::begin(kEditKeys), std::end(kEditKeys), Key) != std::end(kEditKeys);
}

} // namespace

bool TFrmFire::CountBoxTakes(int Key, int AState)
{
    if (IsCtrlKey(Key))
        FCtrlHeld = AState == 1;
    if (Key < 0 || Key >= static_cast<int>(FBoxKeys.size()))
        return false;
    if (AState != 1 && FBoxKeys.test(static_cast<size_t>(Key))) {
        FBoxKeys.reset(static_cast<size_t>(Key));
        return true;
    }
    const QWidget *focus = QApplication::focusWidget();
    const bool inCountBox = focus && (focus == NumBoxFire || focus == NumboxDelay || NumBoxFire->isAncestorOf(focus) ||
                                      NumboxDelay->isAncestorOf(focus));
    if (!inCountBox)
        return false;
    const bool takes = IsCountEditKey(Key) || FCtrlHeld;
    if (takes && AState == 1)
        FBoxKeys.set(static_cast<size_t>(Key));
    return takes;
}

void TFrmFire::kwHook1RecordKeyboardSingleKey(int Key, int AState, int AKeyExtended, const QString &SingleKeyString)
{
    // The recorder sees every key, those typed into a count box included:
    // they are the count's, and the captured key stays.
    if (CountBoxTakes(Key, AState))
        return;
    TextSingle->setText(SingleKeyString);
    FAdvFireKeyInfo.KeyValue.nKeyValue1 = static_cast<uint16_t>(Key);
    FAdvFireKeyInfo.KeyValue.nKey1Extended = static_cast<uint16_t>(AKeyExtended);
    FAdvFireKeyInfo.KeyCode = static_cast<uint16_t>(GetHIDCodeByVK(Key, AKeyExtended));
}

void TFrmFire::BTNOKClick()
{
    FAdvFireKeyInfo.nLoopCount = static_cast<uint16_t>(NumBoxFire->value());
    FAdvFireKeyInfo.DelyValue = static_cast<uint16_t>(NumboxDelay->value());
}

void TFrmFire::showEvent(QShowEvent *e)
{
    TKeyCaptureDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TFrmFire::FormClose()
{
    StopRecording();
}

int ShowFireSettings(TADVANCEDFIREKEYINFO &AFireKey)
{
    const auto form = std::make_unique<TFrmFire>(hkt::skin::DialogCentreWindow());
    form->FCreateByOther = true;
    form->FAdvFireKeyInfo = AFireKey;
    const int result = form->runModal();
    form->kwHook1.StopRecordKeyboardSingleKey();
    AFireKey = form->FAdvFireKeyInfo;
    return result;
}
