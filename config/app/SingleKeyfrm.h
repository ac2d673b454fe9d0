// The single-key dialog: captures one keyboard key for a mouse button.
#pragma once

#include "config/app/KeyCaptureDialog.h"
#include "core/kwHook.h"
#include "core/pubunit_device_records.h"

#include <QString>

class TFrmSingleKey : public TKeyCaptureDialog
{
    Q_OBJECT
public:
    explicit TFrmSingleKey(QWidget *centreOn = nullptr);

    QLineEdit *TextSingle = nullptr;
    hkt::skin::SkinLabel *Label1 = nullptr; // the instruction
    hkt::skin::StateButton *BTNCANCEL = nullptr;
    hkt::skin::StateButton *BTNOK = nullptr;
    hkt::skin::SkinLabel *Label2 = nullptr; // the title
    TkwHook kwHook;
    TSINGLEKEYINFO FSingleKey{};

    // Shows the description of FSingleKey's key in TextSingle.
    void ShowSingleKeyText();

protected:
    void showEvent(QShowEvent *e) override;
    void FormClose() override;

private:
    // Every key event, releases included: the last one wins.
    void kwHookRecordKeyboardSingleKey(int Key, int AKeyExtended, const QString &SingleKeyString);
};

// Copies ASingleKey in, shows the dialog modally and copies the record back
// whatever the result (SingleKeyText is left as it came). Returns 1 for OK,
// 2 for CANCEL or any other close.
int ShowSingleKeyDialog(TSINGLEKEYINFO &ASingleKey);
