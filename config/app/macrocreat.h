// The macro name dialog: asks for the name of a new macro when NEW is pressed
// in the macro manager.
#pragma once

#include "config/ui/kwSkinKit.h"

#include <QLineEdit>
#include <QString>

// The longest macro name the macro record holds (its field keeps one unit
// for the terminating NUL).
inline constexpr int MacroNameMaxLength = 50;

// `text` cut to MacroNameMaxLength UTF-16 units. A cut that would split a
// surrogate pair drops the pair's first half too, so the stored name stays
// valid UTF-16. Nothing is trimmed; an empty text stays empty.
QString CutMacroName(const QString &text);

class TFrmCreat : public hkt::skin::SkinDialog
{
    Q_OBJECT
public:
    explicit TFrmCreat(QWidget *centreOn = nullptr);

    hkt::skin::SkinImage *ImageBack = nullptr;
    hkt::skin::SkinLabel *Label3 = nullptr; // the title
    hkt::skin::SkinLabel *Label4 = nullptr; // "NEW MACRO NAME:"
    QLineEdit *TextboxMacroName = nullptr;
    hkt::skin::StateButton *BTNOK = nullptr;
    hkt::skin::StateButton *BTNCANCEL = nullptr;

    QString FMacroPath;        // handed in by the caller; nothing reads it
    QString FMacroName;        // the accepted name; empty until OK or Enter
    bool FCreateByOther = false;

    // Accepts the text box's name, cut to the record's length.
    void BTNOKClick();

    // Brings the window forward: restored when minimised, raised and
    // activated. Only this window is touched: the pointer is not moved, no
    // input is synthesised and no system setting changes. True when the
    // window is the active one afterwards.
    static bool ForceForegroundWindow(QWidget *AWindow);

protected:
    bool event(QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void FormCreate();
    void FormActivate();
    // Enter closes on its release, but only for a press the text box saw:
    // the release of the Enter that opened the dialog is not an answer.
    bool FEnterDown = false;
};

// Shows the dialog modally. AMacroName receives the accepted name whatever
// the result (empty unless OK or Enter ran). Returns 1 for OK or Enter, 2 for
// CANCEL or any other close. The window exists only during the call.
// ATyped stands in the text box, selected, for the user to correct.
int ShowCreateMacro(QString &AMacroName, const QString &AMacroPath, const QString &ATyped = QString());
