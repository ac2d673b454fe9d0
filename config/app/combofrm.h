// The key-combination dialog: captures modifiers and up to two keys for a
// mouse button.
#pragma once

#include "config/app/KeyCaptureDialog.h"
#include "core/kwHook.h"
#include "core/pubunit_device_records.h"

#include <QString>

// The text of a stored combination: the modifier text and the first key's
// description when that key has one, then "+" and the second key's
// description when that one has one.
QString ComboKeyText(const TCOMBOKEYINFO &AComboKey);

class TFrmCombo : public TKeyCaptureDialog
{
    Q_OBJECT
public:
    explicit TFrmCombo(QWidget *centreOn = nullptr);

    QLineEdit *TextCombo = nullptr;
    hkt::skin::StateButton *BtnOK = nullptr;
    TkwHook kwHook;
    hkt::skin::SkinLabel *Label1 = nullptr; // the instruction
    hkt::skin::StateButton *BTNCANCEL = nullptr;
    hkt::skin::SkinLabel *Label2 = nullptr; // the title
    TCOMBOKEYINFO FComboKey{};

    // Shows FComboKey's text in TextCombo (left as it is when that text is empty).
    void ShowComboKeyText();

protected:
    void showEvent(QShowEvent *e) override;
    void FormClose() override;

private:
    void kwHookRecordKeyboardComboKey(int Key1, int Key1Extended, int Key2, int Key2Extended, int Modifier,
                                      const QString &ComboKeyString);
};

// Copies AComboKey in, shows the dialog modally and copies the record back
// whatever the result (ComboKeyText is left as it came). Returns 1 for OK,
// 2 for CANCEL or any other close.
int ShowComboKeyDialog(TCOMBOKEYINFO &AComboKey);
