#pragma once
// The INFO page (both layouts), the help documents and links, the web labels
// and the language box.
//
// Help values are never handed to the desktop empty: a help file that is not
// there, and a language with no help set up at all, are reported. The language box shows the languages the system
// knows by their native names and maps each row to the language's position
// in the language file (what CurrentLanguage stores), so skipping an
// unknown language never shifts the others.

#include "config/app/HelpAndLanguage.h"

#include <QObject>
#include <QUrl>

#include <functional>
#include <vector>

class QWidget;
class TMainConfigHost;
namespace hkt::skin {
class SkinLabel;
class StateButton;
} // namespace hkt::skin

class TMainConfigInfo : public QObject {
    Q_OBJECT
public:
    // Builds both layouts on the window's LayoutInfo and LayoutInfoOEM and
    // binds the help button and the language box.
    TMainConfigInfo(TMainConfigHost &AHost, QWidget *AContainer);

    // The language box's items from the language component.
    void FillLanguageBox();
    // Puts the stored display language in force and translates the window.
    void ApplyLanguage();
    // Selects the box row of the stored CurrentLanguage (none when no row
    // shows it), without running the change handler.
    void ShowLanguageSelection();

    // ---- handlers
    void BSBTNHELPLINKClick();
    void BTNHELPClick();
    void bsbtnopenwebsiteClick();
    void lblwebsiteClick();
    void PopBoxLanguageChange(int ARow);

    // How documents and addresses reach the desktop (tests replace it);
    // false when the desktop has nothing to open them with, which is said.
    std::function<bool(const QUrl &)> OpenUrl;

    // ---- controls
    hkt::skin::SkinLabel *labelWebSite = nullptr;
    hkt::skin::StateButton *BSBTNHELPLINK = nullptr;
    hkt::skin::StateButton *bsbtnopenwebsite = nullptr;
    hkt::skin::SkinLabel *lblwebsite = nullptr;

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    void OpenHelp(const TNameValueList &AList);
    void Open(const QUrl &AUrl);
    void OpenText(const QString &AText);
    void BuildLayoutInfo(QWidget *ALayout);
    void BuildLayoutInfoOEM(QWidget *ALayout);

    TMainConfigHost &FHost;
    std::vector<TLanguageBoxRow> FLanguageRows;
};
