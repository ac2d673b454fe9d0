// The macro manager: the modal window in which the user creates, deletes and
// selects the macros of the current macro set, sets their loop and delay
// options, records their steps from the keyboard and edits them. It edits the
// caller's macro database object in place; OK writes the database file.
//
// The window is a view over TMacroManagerModel, which holds the recording
// state and does every change to the macros. Left any other way than by OK,
// it puts the database object back as it was when the window opened.
#pragma once

#include "config/app/MacroManagerModel.h"
#include "config/ui/kwMenuEx.h"
#include "config/ui/kwSkinKit.h"

#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class TDM;
class TkwHook;

class TFrmMacro : public hkt::skin::SkinDialog
{
    Q_OBJECT
public:
    // AMacroSetClass is the caller's and outlives the window.
    TFrmMacro(TkwMacroSetClass &AMacroSetClass, QWidget *centreOn = nullptr);
    ~TFrmMacro() override;

    // ---- components ----
    hkt::skin::SkinImage *ImageBack = nullptr;
    hkt::skin::SkinLabel *LabelTitle = nullptr;
    hkt::skin::StateButton *BTNMIN = nullptr;
    hkt::skin::StateButton *BTNCLOSE = nullptr;
    // left panel
    hkt::skin::SkinImage *IMGMACROLISTSCROLLUP = nullptr;
    hkt::skin::SkinListBox *ListBoxMacroList = nullptr;
    hkt::skin::SkinImage *IMGMACROLISTSCROLLDOWN = nullptr;
    hkt::skin::StateButton *BSBTNNEWMACRO = nullptr;
    hkt::skin::StateButton *BSBTNDELETEMACRO = nullptr;
    QLineEdit *TextBoxSelectedMacroName = nullptr;
    // middle panel
    hkt::skin::SkinListBox *ListBoxMacroKey = nullptr;
    hkt::skin::NumberBox *TextEditDelay = nullptr; // the in-place delay editor
    hkt::skin::SkinLabel *LabelAllDelayTime = nullptr;
    hkt::skin::SkinLabel *lableTotalActions = nullptr;
    QWidget *LayoutActionsFull = nullptr;
    QWidget *LayoutMMBOTTOM = nullptr;
    hkt::skin::StateButton *BtnMacroStart = nullptr;
    hkt::skin::StateButton *BtnMacroStop = nullptr;
    // right panel
    hkt::skin::StateButton *BtnAutoDelay = nullptr;
    hkt::skin::StateButton *BtnCustomDelay = nullptr;
    hkt::skin::NumberBox *NumBoxDelay = nullptr;
    hkt::skin::StateButton *BtnMacroLoop = nullptr;
    hkt::skin::NumberBox *BoxMacroLoop = nullptr;
    hkt::skin::StateButton *BTNLOOPRUN = nullptr;
    hkt::skin::StateButton *BSBTNInsertAction = nullptr;
    hkt::skin::StateButton *bsbtnDeleteAction = nullptr;
    hkt::skin::StateButton *bsbtnMoveUpAction = nullptr;
    hkt::skin::StateButton *bsbtnMoveDownAction = nullptr;
    hkt::skin::StateButton *bsbtnCopyAction = nullptr;
    hkt::skin::StateButton *bsbtnCutAction = nullptr;
    hkt::skin::StateButton *BSBTNPasteaction = nullptr;
    hkt::skin::StateButton *bsbtnMouseEvent = nullptr;
    // bottom bar
    hkt::skin::SkinLabel *LabelStepNotice = nullptr; // why the last paste did not stay
    hkt::skin::StateButton *BTNOK = nullptr;
    hkt::skin::StateButton *BTNCANCEL = nullptr;

    std::unique_ptr<TkwMenuEx> kwMenuMacro;
    std::unique_ptr<TkwMenuEx> kwMenuMacroList;
    std::unique_ptr<TkwMenuEx> kwMenuExMouseEvent;
    std::unique_ptr<TkwHook> kwHook1;

    // Row flags of the step list, set by the skin before any row is made.
    QImage IMGMACROFLAGDOWN, IMGMACROFLAGUP, IMGMACROFLAGDOWNMOUSE, IMGMACROFLAGUPMOUSE, IMGMACROFLAGDELAY;

    // ---- fields ----
    TkwMacroSetClass &FMacroSetClass;
    // The data module whose working profile the manager's APPLY copies the
    // macro list into; none when the manager runs without a window (tests).
    TDM *FDM = nullptr;
    bool FCreateByOther = false;
    bool FNeedUpdate = false;
    int RenameIndex = -1;

    TMacroManagerModel &Model() { return FModel; }

    // ---- operations ----
    void FillMacroList();
    void ShowMacroActions();
    void ShowTotalDelay();
    void UpdateErrorIcon(int i);
    void UpdateAllErrorIcons();
    void SetRecordingControlsEnabled(bool flag);
    // The option controls as a recording reads them.
    TMacroRecordOptions RecordOptions() const;

    void BtnOKClick();
    void BtnCancelClick();
    void BtnMinClick();
    void BSBTNNEWMACROClick();
    void BSBTNDELETEMACROClick();
    void ListBoxMacroListChange(int row);
    void ListBoxMacroListClick(int row);
    void ScrollMacroListUp();
    void ScrollMacroListDown();
    void BtnAutoDelayClick();
    void BtnCustomDelayMouseUp();
    void BTNMACROLOOPClick();
    void BTNLOOPRUNClick();
    void BoxMacroLoopChange();
    void kwMenuMacroItemsClick(uint32_t id);
    bool ApplyMacroRename();
    void BTNAPPLYClick();

    // START (tag 0) and STOP (tag 1).
    void BtnMacroStopClick(int tag);
    void DoActionEditToolClick(TMacroTool tool);
    void bsbtnMouseEventClick();
    void kwMenuExMouseEventItemsClick(uint32_t id);
    void kwMenuMacroListItemsClick(uint32_t id);
    void ListBoxMacroKeyChange(int row);
    void ListBoxMacroKeyDblClick();
    void DelayEditCommit();

    // Skin pictures through the skin image cache.
    void LoadMacroManagerSkin();

    // Every way the window closes stops a running recording first; every
    // way but OK then discards the edits.
    void done(int r) override;
    // Puts the database object back as it was when the window opened (once;
    // later calls do nothing).
    void DiscardEdits();

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void StartRecordingUi();
    void StopRecordingUi();
    void kwHook1RecordKeyboardMacroKeyEx(int AState, uint32_t TotalTime, const QString &MacroKeyString);
    void kwHook1StopRecordKeyboardMacroKey(TMacroKeyList &list);
    hkt::skin::ListRow RowFor(TStepRowKind kind, const QString &text) const;
    void ShowLiveRows();
    void ShowSlotFullMessage();
    void StoreLoopSettings();
    void ShowNumberBoxLocks();
    void LoopCheckClicked(hkt::skin::StateButton *clicked, hkt::skin::StateButton *other);
    void AfterTool();

    TMacroManagerModel FModel;
    // The database object as the window found it.
    TkwMacroSetState FOpening;
    bool FEditsDiscarded = false;
    QPointer<QWidget> FMainWindow;
    std::vector<hkt::skin::ListRow> FRows; // what ListBoxMacroKey shows
    std::vector<hkt::skin::StateButton *> FTools;
    bool FFilling = false;
    bool FStopDelivered = false;
    int FDelayRow = -1;
};

// Opens the macro manager over the caller's database object, with the macro
// AMacroName selected when it exists. Returns 1 after OK (the database file
// has been written; AMacroName then is the current macro's name, "" when the
// list is empty) and 2 after any other ending (AMacroName unchanged, and the
// database object as it was before the call).
// ANeedUpdate tells whether the error check has copied the macros into the
// working profile of ADM (nullptr: nothing is copied).
int ShowMacroManager(TDM *ADM, TkwMacroSetClass &AMacroSetClass, QString &AMacroName, bool &ANeedUpdate);
