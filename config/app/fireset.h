// The rapid-fire dialog: what a mouse button fires (left, right or middle
// button, or a keyboard key), how many times and with what delay.
#pragma once

#include "config/app/KeyCaptureDialog.h"
#include "core/kwHook.h"
#include "core/pubunit_device_records.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QString>

#include <bitset>

// The four choices of what is fired, in the order of the radio buttons.
enum class TFireType { Left, Right, Middle, Keyboard };

// The choice a stored KeyCode stands for: 129, 130 and 132 the three
// buttons, any other value a keyboard key.
TFireType FireTypeOfKeyCode(uint16_t KeyCode);
// The KeyCode a choice stores: 129, 130 or 132 for the buttons; for a
// keyboard key the HID usage of KeyValue, 0 while no key is captured.
uint16_t FireKeyCodeOf(TFireType AType, const TSINGLEKEYINFO &KeyValue);

class TFrmFire : public TKeyCaptureDialog
{
    Q_OBJECT
public:
    explicit TFrmFire(QWidget *centreOn = nullptr);

    hkt::skin::SkinLabel *LabelFire = nullptr;
    hkt::skin::SkinLabel *LabelTitle = nullptr;
    hkt::skin::SkinLabel *Label3 = nullptr; // "Delay(ms):"
    hkt::skin::NumberBox *NumBoxFire = nullptr;
    hkt::skin::NumberBox *NumboxDelay = nullptr;
    hkt::skin::StateButton *BTNOK = nullptr;
    hkt::skin::StateButton *BTNCANCEL = nullptr;
    QGroupBox *Expander1 = nullptr; // "Type"
    QGroupBox *Expander2 = nullptr; // "Options"
    QRadioButton *RadioButton1 = nullptr; // "L"
    QRadioButton *RadioButton2 = nullptr; // "R"
    QRadioButton *RadioButton3 = nullptr; // "M"
    QRadioButton *RadioButton4 = nullptr; // "Keyboard Key:"
    QLineEdit *TextSingle = nullptr;
    TkwHook kwHook1;
    TADVANCEDFIREKEYINFO FAdvFireKeyInfo{};

    // The radio button of a choice.
    QRadioButton *RadioOf(TFireType AType) const;
    // Whether the dialog is capturing a key now.
    bool Recording() const { return FRecording; }

    // Takes the two counts (OK).
    void BTNOKClick();

protected:
    void showEvent(QShowEvent *e) override;
    void FormClose() override;

private:
    void FormShow();
    void doFireTypeChanged(TFireType AType);
    void kwHook1RecordKeyboardSingleKey(int Key, int AState, int AKeyExtended, const QString &SingleKeyString);
    // Whether a key event belongs to the count box that has the focus (and
    // so is not the key to fire).
    bool CountBoxTakes(int Key, int AState);
    void StartRecording();
    void StopRecording();

    QButtonGroup FRadioType; // the group "RadioType"
    bool FRecording = false;
    // Virtual-key codes whose press a count box took: their releases are
    // the box's too, wherever the focus is by then.
    std::bitset<256> FBoxKeys;
    // Ctrl held, as the recorder saw it: a key pressed with it in a count
    // box is an editing shortcut there (select all, copy, paste, undo...).
    bool FCtrlHeld = false;
};

// Copies AFireKey in, shows the dialog modally, stops any key capture and
// copies the record back whatever the result. Returns 1 for OK, 2 for
// CANCEL or any other close.
int ShowFireSettings(TADVANCEDFIREKEYINFO &AFireKey);
