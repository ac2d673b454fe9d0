#pragma once
// The translation editor: one tab per language, a two-column grid of source
// texts and translations, the system's languages to add a tab from, commands
// to add and delete source texts, a text view of one language's lines, and a
// command that writes the whole language file. A thin window over
// TkwLanguageDesignModel, which holds every edit until it is saved.
//
// The editor works on a file: "kw.local" in the program folder or any file the
// translators' tool is given. Saving replaces that file atomically; a failed
// save says so in the status bar and leaves the grids as they are.

#include "config/translate/LanguageDesignModel.h"

#include <QString>
#include <QWidget>

class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabBar;
class QTableWidget;
class TkwLanguage;

class TkwLanguageDesignForm : public QWidget {
    Q_OBJECT
public:
    explicit TkwLanguageDesignForm(QWidget *parent = nullptr);
    ~TkwLanguageDesignForm() override;

    // Opens a language file; a file that does not exist yet starts an empty
    // list (the first save creates it). False, with *error, for a file that
    // exists but cannot be read: the editor then holds nothing and saves
    // nowhere, so a damaged file is never overwritten unseen.
    bool OpenFile(const QString &path, QString *error = nullptr);

    // Edits a language component's lists, saved to "kw.local" in the program
    // folder (or `path`); after a save the component reloads the written file
    // and the editor closes.
    void LoadLanguageAndCreateTranslateTabList(TkwLanguage *lang, const QString &path = QString());

    const TkwLanguageDesignModel &Model() const { return FModel; }
    const QString &FileName() const { return FFileName; }

    // The controls, named as the handlers below use them.
    QWidget *ToolBar1 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *LangCombo = nullptr;
    QPushButton *BtnAddLanguage = nullptr;
    QPushButton *BtnDelet = nullptr;
    QPushButton *BtnPrevPage = nullptr;
    QPushButton *BtnNextPage = nullptr;
    QTabBar *TabControl1 = nullptr;
    QTableWidget *Grid = nullptr; // the selected tab's grid
    QDialog *PopupTextList = nullptr;
    QPlainTextEdit *MemoTextList = nullptr;
    QPushButton *BtnSaveTextList = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *Text1 = nullptr;
    QLineEdit *TBConstText = nullptr;
    QPushButton *BTNADDConstText = nullptr;
    QPushButton *BTNDELCONSTTEXT = nullptr;
    QPushButton *sbtnsavelanguagetofile = nullptr;
    QPushButton *SpeedButton2 = nullptr;

signals:
    void Closed();

public slots:
    void BtnAddLanguageClick();
    void BtnDeletClick();
    void BtnPrevPageMouseUp();
    void BtnNextPageMouseUp();
    void BTNADDConstTextClick();
    void BTNDELCONSTTEXTClick();
    void SpeedButton2Click();
    void BtnSaveTextListClick();
    void BtnSaveClick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    // Rebuilds the tab bar and the grid from the model.
    void ShowTabs();
    void ShowGrid();
    void ShowTabPage();
    void TabChanged(int index);
    // Commits the cell being edited, if any, to the model's selected tab.
    void CommitOpenEdit();
    void CellChanged(int row, int column);
    void Status(const QString &text);

    TkwLanguageDesignModel FModel;
    QString FFileName;
    TkwLanguage *FLang = nullptr; // the component edited, when not a file of our own
    bool FOwnsLanguage = true;
    bool FRefreshing = false;
};

// Opens the editor over a language component, modally; returns when it closes.
void ShowLanguageDesignForm(TkwLanguage *lang);
