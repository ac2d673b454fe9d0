#include "config/app/macrofrm.h"

#include "config/app/macrocreat.h"
#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwLanguage.h"
#include "config/ui/kwMenuDefinitions.h"
#include "config/ui/showdialog.h"
#include "config/ui/showdialog2.h"
#include "core/DMUnit.h"
#include "core/kwHook.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>

#include <algorithm>
#include <optional>

using namespace hkt::skin;

namespace {

constexpr int kWidth = 757;
constexpr int kHeight = 582;
// Regions inside the 5-pixel padding.
constexpr int kTop = 85;     // below the top bar
constexpr int kBottom = 507; // above the bottom bar
constexpr int kLeftX = 5, kLeftW = 235;
constexpr int kMidX = 242, kMidW = 320;
constexpr int kRightX = 562, kRightW = 190;
constexpr int kStepRows = 14;  // rows of 19 the step list shows
constexpr int kMacroRows = 11; // rows of 23 the macro list shows

const QString kBody = QStringLiteral("Myriad Pro");

QString Tr(const char *text)
{
    return TranslateText(QString::fromLatin1(text));
}

SkinLabel *Caption(QWidget *parent, int x, int y, int w, int h, const char *text, int px, bool bold = false)
{
    auto *l = Place<SkinLabel>(parent, x, y, w, h);
    l->setSourceText(QString::fromLatin1(text));
    l->setFont(SkinFont(kBody, px, bold));
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SetSkinStyle(l, QStringLiteral("mylabel"));
    return l;
}

StateButton *CheckButton(QWidget *parent, int x, int y, const char *caption, int captionWidth, int captionHeight)
{
    auto *b = Place<StateButton>(parent, x, y, 14, 12);
    b->setStaysPressed(true);
    b->setHandCursor(true);
    b->setFallback(CheckFallback());
    b->setSliceMargin(0);
    auto *l = Caption(parent, x + 20, y - (captionHeight - 12) / 2, captionWidth, captionHeight, caption, 11);
    l->setWordWrap(true);
    return b;
}

NumberBox *Number(QWidget *parent, int x, int y, int w, int min, int max, int value)
{
    auto *n = Place<NumberBox>(parent, x, y, w, 20);
    n->setRange(min, max);
    n->setValue(value);
    n->setFont(SkinFont(kBody, 12));
    n->setEnabled(false);
    return n;
}

} // namespace

TFrmMacro::TFrmMacro(TkwMacroSetClass &AMacroSetClass, QWidget *centreOn)
    : SkinDialog(centreOn, kWidth, kHeight), FMacroSetClass(AMacroSetClass), FModel(AMacroSetClass),
      FOpening(AMacroSetClass.SaveState()), FMainWindow(centreOn)
{
    setObjectName(QStringLiteral("FrmMacro"));
    // In the display language, as Qt's own suffix (the program's name) is.
    kwSetSourceText(this, "windowTitle", QStringLiteral("MACRO MANAGER"));

    ImageBack = Place<SkinImage>(this, 5, 5, kWidth - 10, kHeight - 10);
    ImageBack->setSliceMargin(14);
    ImageBack->setFallback([](QPainter &p, const QRectF &r) { PaintDialogBack(p, r); });
    for (const QRect &r : {QRect(kLeftX, kTop, kLeftW, kBottom - kTop), QRect(kMidX, kTop, kMidW, kBottom - kTop),
                           QRect(kRightX, kTop, kRightW, kBottom - kTop)}) {
        auto *panel = Place<SkinImage>(this, r.x(), r.y(), r.width(), r.height());
        panel->setFallback([](QPainter &p, const QRectF &rr) { PaintPanel(p, rr.adjusted(1, 1, -1, -1)); });
    }
    auto *divider = Place<SkinImage>(this, kLeftX + kLeftW, kTop + 10, 2, kBottom - kTop - 20);
    divider->setFallback([](QPainter &p, const QRectF &r) { p.fillRect(r, QColor::fromRgba(colour::Edge)); });

    // ---- top bar ----
    LabelTitle = Place<SkinLabel>(this, 150, 25, kWidth - 300, 40);
    LabelTitle->setSourceText(QStringLiteral("MACRO MANAGER"));
    LabelTitle->setFont(SkinFont(QStringLiteral("FUTURA STD MEDIUM"), 24, true, true));
    LabelTitle->setAlignment(Qt::AlignCenter);
    SetSkinStyle(LabelTitle, QStringLiteral("wlabel"));
    BTNMIN = Place<StateButton>(this, kWidth - 58, 14, 20, 22);
    BTNMIN->setFallback(GlyphFallback(Glyph::Minimise));
    BTNCLOSE = Place<StateButton>(this, kWidth - 34, 14, 20, 22);
    BTNCLOSE->setFallback(GlyphFallback(Glyph::Close));
    BTNCLOSE->setModalResult(ResultCancel);
    bindModalResult(BTNCLOSE);
    connect(BTNMIN, &StateButton::clicked, this, &TFrmMacro::BtnMinClick);

    // ---- left panel ----
    Caption(this, kLeftX + 12, kTop + 8, kLeftW - 24, 20, "MACRO NAME:", 14, true);
    IMGMACROLISTSCROLLUP = Place<SkinImage>(this, kLeftX + 12, kTop + 32, kLeftW - 24, 12);
    IMGMACROLISTSCROLLUP->setMode(SkinImage::Mode::Center);
    IMGMACROLISTSCROLLUP->setFallback([](QPainter &p, const QRectF &r) { PaintScrollArrow(p, r, true); });
    ListBoxMacroList = Place<SkinListBox>(this, kLeftX + 12, kTop + 48, kLeftW - 24, 23 * kMacroRows);
    ListBoxMacroList->setFont(SkinFont(kBody, 14));
    SetSkinStyle(ListBoxMacroList, QStringLiteral("MYLISTBOX"));
    IMGMACROLISTSCROLLDOWN =
        Place<SkinImage>(this, kLeftX + 12, kTop + 52 + 23 * kMacroRows, kLeftW - 24, 12);
    IMGMACROLISTSCROLLDOWN->setMode(SkinImage::Mode::Center);
    IMGMACROLISTSCROLLDOWN->setFallback([](QPainter &p, const QRectF &r) { PaintScrollArrow(p, r, false); });
    BSBTNNEWMACRO = Place<StateButton>(this, kLeftX + 10, kBottom - 55, 103, 43);
    BSBTNNEWMACRO->setText(QStringLiteral("NEW"));
    BSBTNDELETEMACRO = Place<StateButton>(this, kLeftX + 122, kBottom - 55, 103, 43);
    BSBTNDELETEMACRO->setText(QStringLiteral("DELETE"));
    for (StateButton *b : {BSBTNNEWMACRO, BSBTNDELETEMACRO}) {
        b->setFallback(FaceFallback(FaceKind::Large));
        b->setFont(SkinFont(kBody, 14, true));
        SetSkinStyle(b, QStringLiteral("MYSTATEBTN"));
    }
    TextBoxSelectedMacroName = Place<QLineEdit>(this, kLeftX + 12, kTop + 48, kLeftW - 24, 23);
    TextBoxSelectedMacroName->setObjectName(QStringLiteral("TextBoxSelectedMacroName"));
    SetSkinStyle(TextBoxSelectedMacroName, QStringLiteral("NULLTEXTBOXSTYLE"));
    TextBoxSelectedMacroName->hide();
    TextBoxSelectedMacroName->setEnabled(false);
    connect(TextBoxSelectedMacroName, &QLineEdit::returnPressed, this, [this] {
        ApplyMacroRename();
        ListBoxMacroList->setEnabled(!FModel.Recording());
    });
    TextBoxSelectedMacroName->installEventFilter(this);

    connect(ListBoxMacroList, &SkinListBox::currentRowChanged, this, &TFrmMacro::ListBoxMacroListChange);
    connect(ListBoxMacroList, &SkinListBox::rowClicked, this, &TFrmMacro::ListBoxMacroListClick);
    connect(IMGMACROLISTSCROLLUP, &SkinImage::clicked, this, &TFrmMacro::ScrollMacroListUp);
    connect(IMGMACROLISTSCROLLDOWN, &SkinImage::clicked, this, &TFrmMacro::ScrollMacroListDown);
    connect(BSBTNNEWMACRO, &StateButton::clicked, this, &TFrmMacro::BSBTNNEWMACROClick);
    connect(BSBTNDELETEMACRO, &StateButton::clicked, this, &TFrmMacro::BSBTNDELETEMACROClick);

    // ---- middle panel: the step editor ----
    Caption(this, kMidX + 12, kTop + 8, kMidW - 24, 20, "MACRO ACTION EDITOR:", 14, true);
    Caption(this, kMidX + 12, kTop + 30, 56, 16, "STATUS", 11);
    Caption(this, kMidX + 12 + 60, kTop + 30, 80, 16, "BUTTON", 11);
    Caption(this, kMidX + 12 + 150, kTop + 30, kMidW - 174, 16, "ELAPSED TIME (MS)", 11);
    ListBoxMacroKey = Place<SkinListBox>(this, kMidX + 12, kTop + 50, kMidW - 24, 19 * kStepRows);
    ListBoxMacroKey->setFont(SkinFont(kBody, 12));
    ListBoxMacroKey->installEventFilter(this);
    connect(ListBoxMacroKey, &SkinListBox::currentRowChanged, this, &TFrmMacro::ListBoxMacroKeyChange);
    TextEditDelay = Place<NumberBox>(ListBoxMacroKey, 150, 0, 90, 19);
    TextEditDelay->setObjectName(QStringLiteral("DELAYEDIT"));
    // Wider than a delay can be, so a typed 0 or 70000 reaches the commit,
    // which keeps it inside 1..65535.
    TextEditDelay->setRange(0, 999999);
    TextEditDelay->setButtonsVisible(false);
    SetSkinStyle(TextEditDelay, QStringLiteral("MYTEXTBOX"));
    TextEditDelay->hide();
    connect(TextEditDelay, &QSpinBox::editingFinished, this, &TFrmMacro::DelayEditCommit);

    const int totalsY = kTop + 54 + 19 * kStepRows;
    Caption(this, kMidX + 12, totalsY, 130, 18, "TOTAL ELAPSED TIME", 11);
    LabelAllDelayTime = Caption(this, kMidX + 142, totalsY, 60, 18, "0", 11, true);
    LabelAllDelayTime->setAutoTranslate(false);
    LabelAllDelayTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Caption(this, kMidX + 206, totalsY, 30, 18, "MS", 11);
    Caption(this, kMidX + 12, totalsY + 18, 130, 18, "TOTAL ACTIONS", 11);
    lableTotalActions = Caption(this, kMidX + 142, totalsY + 18, 60, 18, "0", 11, true);
    lableTotalActions->setAutoTranslate(false);
    lableTotalActions->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Caption(this, kMidX + 206, totalsY + 18, 60, 18, "ENTRIES", 11);

    LayoutActionsFull = Place<QWidget>(this, kMidX + 200, kTop + 8, kMidW - 212, 20);
    auto *dot = Place<SkinImage>(LayoutActionsFull, 0, 5, 10, 10);
    dot->setFallback([](QPainter &p, const QRectF &r) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgba(0xFFF81313));
        p.drawEllipse(r);
    });
    Caption(LayoutActionsFull, 14, 0, kMidW - 226, 20, "REACHED MAX", 12, true);
    LayoutActionsFull->hide();

    LayoutMMBOTTOM = Place<QWidget>(this, kMidX + 2, kBottom - 56, kMidW - 4, 50);
    BtnMacroStart = Place<StateButton>(LayoutMMBOTTOM, kMidW / 2 - 70, 4, 62, 40);
    BtnMacroStart->setFallback(RecordFallback(false));
    BtnMacroStop = Place<StateButton>(LayoutMMBOTTOM, kMidW / 2 + 4, 4, 65, 40);
    BtnMacroStop->setFallback(RecordFallback(true));
    for (StateButton *b : {BtnMacroStart, BtnMacroStop}) {
        b->setStaysPressed(true);
        b->setHandCursor(true);
        b->setSliceMargin(0);
    }
    BtnMacroStop->setEnabled(false);
    connect(BtnMacroStart, &StateButton::clicked, this, [this] { BtnMacroStopClick(0); });
    connect(BtnMacroStop, &StateButton::clicked, this, [this] { BtnMacroStopClick(1); });

    // ---- right panel: options and tools ----
    const int rx = kRightX + 10;
    Caption(this, rx, kTop + 8, kRightW - 20, 20, "OPTION:", 14, true);
    BtnAutoDelay = CheckButton(this, rx, kTop + 40, "RECORD DELAYS BETWEEN ACTION", kRightW - 40, 28);
    BtnAutoDelay->setChecked(true);
    BtnCustomDelay = CheckButton(this, rx, kTop + 70, "INSERT DEFAULT DELAY", kRightW - 40, 16);
    NumBoxDelay = Number(this, rx + 20, kTop + 86, 80, 1, 65535, 10);
    Caption(this, rx + 106, kTop + 86, 40, 20, "MS", 11);
    BtnMacroLoop = CheckButton(this, rx, kTop + 120, "LOOPS TIMES(1-255)", kRightW - 40, 16);
    BoxMacroLoop = Number(this, rx + 20, kTop + 136, 80, 1, 255, 1);
    BTNLOOPRUN = CheckButton(this, rx, kTop + 172, "REPEAT RUN WHEN KEY DOWN", kRightW - 40, 28);
    connect(BtnAutoDelay, &StateButton::clicked, this, &TFrmMacro::BtnAutoDelayClick);
    connect(BtnCustomDelay, &StateButton::clicked, this, &TFrmMacro::BtnCustomDelayMouseUp);
    connect(BtnMacroLoop, &StateButton::clicked, this, &TFrmMacro::BTNMACROLOOPClick);
    connect(BTNLOOPRUN, &StateButton::clicked, this, &TFrmMacro::BTNLOOPRUNClick);
    connect(BoxMacroLoop, &QSpinBox::valueChanged, this, &TFrmMacro::BoxMacroLoopChange);

    Caption(this, rx, kTop + 196, kRightW - 20, 20, "ACTION EDIT TOOL:", 14, true);
    struct ToolDef {
        StateButton **button;
        const char *caption;
    };
    const ToolDef tools[] = {
        {&BSBTNInsertAction, "RECORD AFTER"}, {&bsbtnDeleteAction, "DELETE"}, {&bsbtnMoveUpAction, "MOVE UP"},
        {&bsbtnMoveDownAction, "MOVE DOWN"},  {&bsbtnCopyAction, "COPY"},     {&bsbtnCutAction, "CUT"},
        {&BSBTNPasteaction, "PASTE"},         {&bsbtnMouseEvent, "MOUSE ACTION..."},
    };
    int ty = kTop + 222;
    for (const ToolDef &t : tools) {
        auto *b = Place<StateButton>(this, rx + 17, ty, 136, 21);
        b->setText(QString::fromLatin1(t.caption));
        b->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        b->setTextIndent(10);
        b->setFont(SkinFont(kBody, 11, true));
        b->setFallback(FaceFallback(FaceKind::Tool));
        b->setHandCursor(true);
        SetSkinStyle(b, QStringLiteral("MYBUTTONACTIONTOOL"));
        *t.button = b;
        FTools.push_back(b);
        ty += 24;
    }
    const std::pair<StateButton *, TMacroTool> toolActions[] = {
        {BSBTNInsertAction, TMacroTool::RecordAfter}, {bsbtnDeleteAction, TMacroTool::Delete},
        {bsbtnMoveUpAction, TMacroTool::MoveUp},      {bsbtnMoveDownAction, TMacroTool::MoveDown},
        {bsbtnCopyAction, TMacroTool::Copy},          {bsbtnCutAction, TMacroTool::Cut},
        {BSBTNPasteaction, TMacroTool::Paste},
    };
    for (const auto &[b, tool] : toolActions)
        connect(b, &StateButton::clicked, this, [this, tool = tool] { DoActionEditToolClick(tool); });
    connect(bsbtnMouseEvent, &StateButton::clicked, this, &TFrmMacro::bsbtnMouseEventClick);

    // ---- bottom bar ----
    LabelStepNotice = Caption(this, kLeftX + 12, kBottom + 20, kWidth - 5 - 200 - kLeftX - 24, 30,
                              "THIS STEP CAN'T STAND THERE: ITS KEY WOULD NEVER BE RELEASED.", 12, true);
    LabelStepNotice->setObjectName(QStringLiteral("LabelStepNotice"));
    LabelStepNotice->hide();
    BTNOK = Place<StateButton>(this, kWidth - 5 - 200, kBottom + 20, 90, 30);
    BTNOK->setText(QStringLiteral("OK"));
    BTNCANCEL = Place<StateButton>(this, kWidth - 5 - 102, kBottom + 20, 90, 30);
    BTNCANCEL->setText(QStringLiteral("CANCEL"));
    for (StateButton *b : {BTNOK, BTNCANCEL}) {
        b->setFont(SkinFont(kBody, 12, true));
        b->setFallback(FaceFallback(FaceKind::Command));
        SetSkinStyle(b, QStringLiteral("MyMainButton"));
    }
    connect(BTNOK, &StateButton::clicked, this, &TFrmMacro::BtnOKClick);
    connect(BTNCANCEL, &StateButton::clicked, this, &TFrmMacro::BtnCancelClick);

    for (auto [b, name] : std::initializer_list<std::pair<StateButton *, const char *>>{
             {BTNMIN, "BTNMIN"}, {BTNCLOSE, "BTNCLOSE"}, {BSBTNNEWMACRO, "BSBTNNEWMACRO"},
             {BSBTNDELETEMACRO, "BSBTNDELETEMACRO"}, {BtnMacroStart, "BtnMacroStart"}, {BtnMacroStop, "BtnMacroStop"},
             {BtnAutoDelay, "BtnAutoDelay"}, {BtnCustomDelay, "BtnCustomDelay"}, {BtnMacroLoop, "BtnMacroLoop"},
             {BTNLOOPRUN, "BTNLOOPRUN"}, {BTNOK, "BTNOK"}, {BTNCANCEL, "BTNCANCEL"}})
        b->setObjectName(QString::fromLatin1(name));

    // ---- menus and the hook ----
    kwMenuMacro = std::make_unique<TkwMenuEx>();
    FillMacroMenu(*kwMenuMacro);
    kwMenuMacro->OnItemsClick = [this](TkwMenuItemEx *, const QString &, uint32_t id, void *, int) {
        kwMenuMacroItemsClick(id);
    };
    kwMenuMacroList = std::make_unique<TkwMenuEx>();
    FillMacroListMenu(*kwMenuMacroList);
    kwMenuMacroList->OnItemsClick = [this](TkwMenuItemEx *, const QString &, uint32_t id, void *, int) {
        kwMenuMacroListItemsClick(id);
    };
    kwMenuExMouseEvent = std::make_unique<TkwMenuEx>();
    FillMouseEventMenu(*kwMenuExMouseEvent);
    kwMenuExMouseEvent->OnItemsClick = [this](TkwMenuItemEx *, const QString &, uint32_t id, void *, int) {
        kwMenuExMouseEventItemsClick(id);
    };

    kwHook1 = std::make_unique<TkwHook>();
    kwHook1->OnRecordKeyboardMacroKeyEx = [this](int, int, int AState, int, double, uint32_t TotalTime,
                                                 const QString &MacroKeyString, const QString &, TMacroKeyList &) {
        kwHook1RecordKeyboardMacroKeyEx(AState, TotalTime, MacroKeyString);
    };
    kwHook1->OnStopRecordKeyboardMacroKey = [this](TMacroKeyList &list) { kwHook1StopRecordKeyboardMacroKey(list); };

    FNeedUpdate = false;
    LoadMacroManagerSkin();
}

TFrmMacro::~TFrmMacro()
{
    // A recorder left running would swallow every key of the program.
    if (FModel.Recording())
        StopRecordingUi();
    // Gone without OK (its modal loop ended by the program's end, say): the
    // edits were never confirmed.
    if (result() != ResultOK)
        DiscardEdits();
}

void TFrmMacro::LoadMacroManagerSkin()
{
    TImageDataBase &db = GlobalImageDataBase();
    const auto state = [&db](StateButton *b, const char *n, const char *h, const char *p, const char *folder) {
        AssignStatePictures(db, b->picturesRef(), QString::fromLatin1(n), QString::fromLatin1(h),
                            QString::fromLatin1(p), QString::fromLatin1(folder));
        b->update();
    };
    for (StateButton *b : {BTNOK, BTNCANCEL})
        state(b, "ok-1.png", "ok-2.png", "ok-3.png", "buttons");
    for (StateButton *b : {BSBTNNEWMACRO, BSBTNDELETEMACRO})
        state(b, "Button-1.png", "Button-2.png", "Button-3.png", "buttons");
    state(BtnMacroStart, "iconstart-1.png", "iconstart-2.png", "iconstart-2.png", "buttons");
    state(BtnMacroStop, "iconstop-1.png", "iconstop-2.png", "iconstop-2.png", "buttons");
    for (StateButton *b : {BtnAutoDelay, BtnCustomDelay, BtnMacroLoop, BTNLOOPRUN})
        state(b, "checkbox-1.png", "checkbox-1.png", "checkbox-2.png", "controls");
    for (StateButton *b : FTools)
        state(b, "ButtonTool-1.png", "ButtonTool-2.png", "ButtonTool-3.png", "buttons");
    state(BTNMIN, "min-1.png", "min-3.png", "min-2.png", "Buttons");
    state(BTNCLOSE, "Close-1.png", "Close-3.png", "Close-2.png", "Buttons");
    const QString controls = QStringLiteral("controls");
    db.AssignIMAGE(IMGMACROLISTSCROLLUP->pictureRef(), QStringLiteral("scroll-bar-top-button.png"), controls);
    db.AssignIMAGE(IMGMACROLISTSCROLLDOWN->pictureRef(), QStringLiteral("scroll-bar-bottom-button.png"), controls);
    db.AssignIMAGE(IMGMACROFLAGDOWN, QStringLiteral("macro-action-item-flag-down.png"), controls);
    db.AssignIMAGE(IMGMACROFLAGUP, QStringLiteral("macro-action-item-flag-up.png"), controls);
    db.AssignIMAGE(IMGMACROFLAGDOWNMOUSE, QStringLiteral("macro-action-item-mouse-flag-down.png"), controls);
    db.AssignIMAGE(IMGMACROFLAGUPMOUSE, QStringLiteral("macro-action-item-mouse-flag-up.png"), controls);
    db.AssignIMAGE(IMGMACROFLAGDELAY, QStringLiteral("macro-action-item-flag-delay.png"), controls);
    db.AssignIMAGE(ImageBack->pictureRef(), QStringLiteral("dlg-back.png"), QStringLiteral("background"));
    update();
}

// ---- the macro list ------------------------------------------------------------------

void TFrmMacro::FillMacroList()
{
    FModel.BindStepEditor();
    FFilling = true;
    ListBoxMacroList->clear();
    ListBoxMacroList->setEnabled(false);
    TkwMacroClass *macros = FModel.Macros();
    if (!macros || macros->IsEmpty()) {
        FRows.clear();
        ShowLiveRows();
        LabelAllDelayTime->setSourceText(QStringLiteral("0"));
        lableTotalActions->setSourceText(QStringLiteral("0"));
        BSBTNDELETEMACRO->setEnabled(false);
        FFilling = false;
        return;
    }
    ListBoxMacroList->setEnabled(!FModel.Recording());
    for (const TMACROKEYINFO &m : macros->MacroKeyInfoList()) {
        ListRow row;
        row.text = MacroNameText(m);
        row.height = 23;
        row.textX = 6;
        ListBoxMacroList->addRow(row);
    }
    ListBoxMacroList->setFocus();
    ListBoxMacroList->setCurrentRow(macros->MacroListIndex());
    ListBoxMacroList->ensureVisible(macros->MacroListIndex());
    FFilling = false;
    BSBTNDELETEMACRO->setEnabled(ListBoxMacroList->currentRow() >= 0 && !FModel.Recording());
    if (macros->MacroListIndex() >= 0)
        ShowMacroActions();
    UpdateAllErrorIcons();
}

void TFrmMacro::ListBoxMacroListChange(int row)
{
    if (FFilling)
        return;
    if (row < 0 || ListBoxMacroList->count() == 0) {
        BSBTNDELETEMACRO->setEnabled(false);
        TextBoxSelectedMacroName->clear();
        return;
    }
    // The list is disabled while recording; the model refuses as well, so a
    // recording never lands in another macro than the one it started in.
    if (!FModel.SelectMacro(row))
        return;
    BSBTNDELETEMACRO->setEnabled(true);
    ShowMacroActions();
}

void TFrmMacro::ListBoxMacroListClick(int row)
{
    if (FFilling || row < 0 || !FModel.SelectMacro(row))
        return;
    ShowMacroActions();
}

void TFrmMacro::ScrollMacroListUp()
{
    if (ListBoxMacroList->count() > 0)
        ListBoxMacroList->scrollBy(-1);
}

void TFrmMacro::ScrollMacroListDown()
{
    if (ListBoxMacroList->count() > 0)
        ListBoxMacroList->scrollBy(1);
}

void TFrmMacro::UpdateErrorIcon(int i)
{
    TMACROKEYINFO m;
    ListRow *row = ListBoxMacroList->row(i);
    if (!row || !FModel.Macros() || !FModel.Macros()->GetMacroKeyItem(i, m))
        return;
    row->showError = m.HaveErrors > 0;
    ListBoxMacroList->updateRow(i);
}

void TFrmMacro::UpdateAllErrorIcons()
{
    for (int i = 0; i < ListBoxMacroList->count(); ++i)
        UpdateErrorIcon(i);
}

void TFrmMacro::BSBTNNEWMACROClick()
{
    if (FModel.Recording())
        return;
    if (FModel.Macros() && FModel.Macros()->IsFull()) {
        ShowInformation(Tr("WARNING"), Tr("TOO MANY MACROS TO BE CREATE!"));
        return;
    }
    QString name;
    for (QString typed;; typed = name) {
        if (ShowCreateMacro(name, QString(), typed) != 1)
            return;
        // A name that is taken would only select that macro: say so, and
        // give the name back to be corrected.
        if (name.isEmpty() || !FModel.Macros() || FModel.Macros()->IndexOfMacroName(name) < 0)
            break;
        ShowInformation(Tr("WARNING"), Tr("A MACRO WITH THIS NAME ALREADY EXISTS!"));
    }
    switch (FModel.AddMacroByName(name)) {
    case TMacroAdd::Created:
        FillMacroList();
        break;
    case TMacroAdd::Existing:
        FFilling = true;
        ListBoxMacroList->setFocus();
        ListBoxMacroList->setCurrentRow(FModel.CurrentMacro());
        ListBoxMacroList->ensureVisible(FModel.CurrentMacro());
        FFilling = false;
        BSBTNDELETEMACRO->setEnabled(true);
        ShowMacroActions();
        break;
    case TMacroAdd::Full:
        ShowInformation(Tr("WARNING"), Tr("TOO MANY MACROS TO BE CREATE!"));
        break;
    case TMacroAdd::NoSet:
        ShowInformation(Tr("WARNING"), Tr("NO MACRO SET IS SELECTED."));
        break;
    case TMacroAdd::Empty:
    case TMacroAdd::Locked:
        break;
    }
}

void TFrmMacro::BSBTNDELETEMACROClick()
{
    const int selected = ListBoxMacroList->currentRow();
    if (FModel.Recording() || FModel.CurrentMacro() < 0 || selected < 0)
        return;
    if (ShowDialog(Tr("DELETE THIS MACRO?"), Tr("ARE YOU SURE YOU WANT TO DELETE THIS MACRO?")) == 2)
        return;
    // The selected macro goes, by its position: two macros may share a name.
    FModel.DeleteMacro(selected);
    FillMacroList();
}

// ---- options ------------------------------------------------------------------------

void TFrmMacro::BtnAutoDelayClick()
{
    if (!BtnAutoDelay->isChecked()) {
        BtnCustomDelay->setChecked(false);
        NumBoxDelay->setEnabled(false);
    }
    FModel.StoreAutoDelay(BtnAutoDelay->isChecked());
}

void TFrmMacro::BtnCustomDelayMouseUp()
{
    NumBoxDelay->setEnabled(BtnCustomDelay->isChecked());
    if (BtnCustomDelay->isChecked())
        BtnAutoDelay->setChecked(true);
}

void TFrmMacro::StoreLoopSettings()
{
    FModel.StoreLoopSettings(BTNLOOPRUN->isChecked(), BtnMacroLoop->isChecked(), BoxMacroLoop->value());
}

// A loop count and repeat-while-pressed exclude each other: checking one
// unchecks the other; the count box follows its check at 1.
void TFrmMacro::LoopCheckClicked(StateButton *clicked, StateButton *other)
{
    if (clicked->isChecked() && other->isChecked())
        other->setChecked(false);
    {
        const QSignalBlocker block(BoxMacroLoop);
        BoxMacroLoop->setEnabled(BtnMacroLoop->isChecked());
        BoxMacroLoop->setValue(1);
    }
    StoreLoopSettings();
}

void TFrmMacro::BTNMACROLOOPClick()
{
    LoopCheckClicked(BtnMacroLoop, BTNLOOPRUN);
}

void TFrmMacro::BTNLOOPRUNClick()
{
    LoopCheckClicked(BTNLOOPRUN, BtnMacroLoop);
}

void TFrmMacro::BoxMacroLoopChange()
{
    StoreLoopSettings();
}

TMacroRecordOptions TFrmMacro::RecordOptions() const
{
    TMacroRecordOptions o;
    o.AutoDelay = BtnAutoDelay->isChecked();
    o.CustomDelay = BtnCustomDelay->isChecked();
    o.CustomDelayValue = NumBoxDelay->value();
    o.Loop = BtnMacroLoop->isChecked();
    o.LoopValue = BoxMacroLoop->value();
    return o;
}

// ---- renaming and the macro menu (which no control opens) -----------------------------------

void TFrmMacro::kwMenuMacroItemsClick(uint32_t id)
{
    const int p = ListBoxMacroList->currentRow();
    if (p < 0 || FModel.Recording())
        return;
    if (id == 1) {
        ListBoxMacroList->setEnabled(false);
        RenameIndex = p;
        TextBoxSelectedMacroName->setEnabled(true);
        TextBoxSelectedMacroName->show();
        TextBoxSelectedMacroName->setFocus();
    } else if (id == 2 || id == 3) {
        // Copied back into the set, or the next switch of sets would undo it.
        if (FModel.MoveMacro(p, id == 2))
            FillMacroList();
    }
}

bool TFrmMacro::ApplyMacroRename()
{
    if (!TextBoxSelectedMacroName->isEnabled())
        return false;
    TextBoxSelectedMacroName->setEnabled(false);
    TextBoxSelectedMacroName->hide();
    const QString text = TextBoxSelectedMacroName->text();
    if (!text.isEmpty() && RenameIndex >= 0 && FModel.RenameMacro(RenameIndex, text)) {
        FillMacroList();
        return true;
    }
    const ListRow *row = ListBoxMacroList->row(ListBoxMacroList->currentRow());
    TextBoxSelectedMacroName->setText(row ? row->text : QString());
    return false;
}

void TFrmMacro::BTNAPPLYClick()
{
    TkwMacroClass *macros = FModel.Macros();
    if (!macros)
        return;
    const auto &list = macros->MacroKeyInfoList();
    const bool errors = std::any_of(list.begin(), list.end(), [](const TMACROKEYINFO &m) { return m.HaveErrors > 0; });
    if (errors && ShowDialog2(Tr("WARNING"), Tr("UNREASONABLE MACRO DETECTED,"), Tr("DO YOU WISH TO CONTINUE?")) != 1)
        return;
    if (FDM)
        macros->GetMacroKeyInfoList(FDM->FCurrentProfileInfo.MacroKeyInfoList);
    FNeedUpdate = true;
}

// ---- closing ------------------------------------------------------------------------

void TFrmMacro::BtnOKClick()
{
    if (FModel.Recording())
        StopRecordingUi();
    if (!FMacroSetClass.SaveMacroSetDB()) {
        // Closing with OK would tell the caller the macros are saved.
        ShowInformation(Tr("WARNING"), Tr("THE MACRO DATABASE COULD NOT BE SAVED."));
        return;
    }
    done(ResultOK);
}

void TFrmMacro::BtnCancelClick()
{
    if (FModel.Recording())
        StopRecordingUi();
    // Nothing edited since the manager opened: nothing to lose, no question.
    if (FMacroSetClass.HoldsSameMacrosAs(FOpening) ||
        ShowDialog(Tr("WARNING"), Tr("DO YOU WANT TO LEAVE MACRO MANAGER WITHOUT SAVING?")) == 1)
        done(ResultCancel);
}

void TFrmMacro::BtnMinClick()
{
    if (FMainWindow)
        FMainWindow->showMinimized();
}

void TFrmMacro::keyPressEvent(QKeyEvent *e)
{
    if (e->key() != Qt::Key_Escape || e->modifiers() != Qt::NoModifier) {
        SkinDialog::keyPressEvent(e);
        return;
    }
    // While recording, Escape is a key of the macro; otherwise it is CANCEL,
    // question included.
    e->accept();
    if (!FModel.Recording())
        BtnCancelClick();
}

void TFrmMacro::done(int r)
{
    if (FModel.Recording())
        StopRecordingUi();
    // Only OK keeps the edits: anything else leaves the macros, and so the
    // buttons that play them and the next APPLY, as they were.
    if (r != ResultOK)
        DiscardEdits();
    SkinDialog::done(r);
}

void TFrmMacro::DiscardEdits()
{
    if (FEditsDiscarded)
        return;
    FEditsDiscarded = true;
    FMacroSetClass.RestoreState(FOpening);
}

// ---- the step list ------------------------------------------------------------------------

ListRow TFrmMacro::RowFor(TStepRowKind kind, const QString &text) const
{
    // The row templates: flag picture, its place, where the text starts.
    struct Template {
        TStepRowKind kind;
        const QImage *flag;
        std::optional<Flag> fallback;
        int flagX, textX;
        QRgb colour;
    };
    const Template templates[] = {
        // The delay flag stays hidden; the value stands under its heading.
        {TStepRowKind::Delay, nullptr, std::nullopt, 0, 150, 0xFFFFFFFF},
        {TStepRowKind::KeyDown, &IMGMACROFLAGDOWN, Flag::KeyDown, 0, 30, 0xFFF8F8F8},
        {TStepRowKind::KeyUp, &IMGMACROFLAGUP, Flag::KeyUp, 15, 42, 0xFFFCFCFC},
        {TStepRowKind::MouseDown, &IMGMACROFLAGDOWNMOUSE, Flag::MouseDown, 0, 30, 0xFFF8F8F8},
        {TStepRowKind::MouseUp, &IMGMACROFLAGUPMOUSE, Flag::MouseUp, 15, 42, 0xFFF8F8F8},
        {TStepRowKind::Unknown, nullptr, std::nullopt, 0, 30, colour::TextDim},
    };
    ListRow row;
    row.text = text;
    row.height = 19;
    for (const Template &t : templates) {
        if (t.kind != kind)
            continue;
        if (t.flag)
            row.flag = *t.flag;
        row.flagFallback = t.fallback;
        row.flagX = t.flagX;
        row.textX = t.textX;
        row.textColor = QColor::fromRgba(t.colour);
    }
    return row;
}

void TFrmMacro::ShowLiveRows()
{
    const int current = ListBoxMacroKey->currentRow();
    const QSignalBlocker block(ListBoxMacroKey);
    ListBoxMacroKey->clear();
    for (const ListRow &r : FRows)
        ListBoxMacroKey->addRow(r);
    if (current >= 0 && current < ListBoxMacroKey->count())
        ListBoxMacroKey->setCurrentRow(current);
}

void TFrmMacro::ShowMacroActions()
{
    LabelStepNotice->hide();
    const ListRow *selected = ListBoxMacroList->row(ListBoxMacroList->currentRow());
    TextBoxSelectedMacroName->setText(selected ? selected->text : QString());
    ListBoxMacroList->setEnabled(false);
    FDelayRow = -1;
    TextEditDelay->hide();
    FRows.clear();

    TMACROKEYINFO rec{};
    const bool have = FModel.CurrentRecord(rec);
    {
        const QSignalBlocker block(BoxMacroLoop);
        BTNLOOPRUN->setChecked(have && rec.nLoopRunWhenPressed > 0);
        if (BTNLOOPRUN->isChecked() || !have || rec.nLoopCount == 0) {
            BoxMacroLoop->setValue(BoxMacroLoop->minimum());
            BtnMacroLoop->setChecked(false);
        } else {
            BoxMacroLoop->setValue(std::min<int>(rec.nLoopCount, 255));
            BtnMacroLoop->setChecked(true);
        }
    }
    ShowNumberBoxLocks();
    if (const TkwActionsClass *steps = FModel.Steps()) {
        for (const TMACROKEY &s : steps->Actions()) {
            const TStepRow r = StepRowOf(s);
            FRows.push_back(RowFor(r.Kind, r.Text));
        }
    }
    {
        const QSignalBlocker block(ListBoxMacroKey);
        ListBoxMacroKey->clear();
        for (const ListRow &r : FRows)
            ListBoxMacroKey->addRow(r);
        if (const TkwActionsClass *steps = FModel.Steps()) {
            ListBoxMacroKey->setCurrentRow(steps->ActionIndex());
            ListBoxMacroKey->ensureVisible(steps->ActionIndex());
        }
    }
    // The macro list stays locked while a recording runs into this macro.
    ListBoxMacroList->setEnabled(!FModel.Recording());
    if (have)
        BtnAutoDelay->setChecked(rec.nAutoAddDelay == 1);
    ShowTotalDelay();
    lableTotalActions->setSourceText(QString::number(ListBoxMacroKey->count()));
}

void TFrmMacro::ShowTotalDelay()
{
    const TkwActionsClass *steps = FModel.Steps();
    LabelAllDelayTime->setSourceText(steps ? QString::number(steps->TotalDelay()) : QStringLiteral("0"));
}

void TFrmMacro::ListBoxMacroKeyChange(int row)
{
    FModel.SelectStep(row);
}

// ---- recording ------------------------------------------------------------------------------

void TFrmMacro::SetRecordingControlsEnabled(bool flag)
{
    for (StateButton *b : findChildren<StateButton *>())
        if (b != BtnMacroStop)
            b->setEnabled(flag);
    BSBTNNEWMACRO->setEnabled(flag);
    BSBTNDELETEMACRO->setEnabled(flag && ListBoxMacroList->currentRow() >= 0);
    ListBoxMacroKey->setEnabled(flag);
    ListBoxMacroList->setEnabled(flag);
    if (!flag) {
        TextEditDelay->hide();
        TextBoxSelectedMacroName->setEnabled(false);
        TextBoxSelectedMacroName->hide();
    }
    ShowNumberBoxLocks();
}

// Each number box takes input while its check is on, and neither while a
// recording runs: the loop count is stored into the macro at once, and the
// recording takes both when it stops.
void TFrmMacro::ShowNumberBoxLocks()
{
    const bool idle = !FModel.Recording();
    BoxMacroLoop->setEnabled(idle && BtnMacroLoop->isChecked());
    NumBoxDelay->setEnabled(idle && BtnCustomDelay->isChecked());
}

void TFrmMacro::StartRecordingUi()
{
    LayoutActionsFull->hide();
    LabelStepNotice->hide();
    TextEditDelay->hide();
    BtnMacroStart->setChecked(true);
    BtnMacroStop->setChecked(true);
    BtnMacroStop->setEnabled(true);
    kwHook1->RecordKeyboardMacroKeyEx();
    SetRecordingControlsEnabled(false);
}

void TFrmMacro::StopRecordingUi()
{
    LayoutActionsFull->hide();
    if (FModel.Recording()) {
        FStopDelivered = false;
        kwHook1->StopRecordKeyboardMacroKeyEx();
        if (FModel.Recording()) {
            // No list came back (no hook library): nothing to store, and the
            // macro keeps the steps it had.
            FModel.AbandonRecording();
            ShowMacroActions();
        }
    }
    BtnMacroStart->setChecked(false);
    BtnMacroStop->setChecked(false);
    SetRecordingControlsEnabled(true);
    BtnMacroStop->setEnabled(false);
}

void TFrmMacro::BtnMacroStopClick(int tag)
{
    if (tag == 1) {
        // STOP always stops, whatever is selected.
        StopRecordingUi();
        return;
    }
    if (FModel.Recording())
        return;
    if (ListBoxMacroList->count() == 0 || ListBoxMacroList->currentRow() < 0 ||
        FModel.StartRecording(0, 0) != TMacroEdit::Done) {
        BtnMacroStart->setChecked(false);
        return;
    }
    FRows.clear();
    ShowLiveRows();
    lableTotalActions->setSourceText(QStringLiteral("0"));
    StartRecordingUi();
}

void TFrmMacro::kwHook1RecordKeyboardMacroKeyEx(int AState, uint32_t TotalTime, const QString &MacroKeyString)
{
    if (!FModel.Recording())
        return;
    LayoutActionsFull->hide();
    if (static_cast<int>(FRows.size()) >= MACRO_LIVE_ROW_LIMIT) {
        LayoutActionsFull->show();
        return;
    }
    const TMacroRecordOptions options = RecordOptions();
    const auto insert = [this](const ListRow &row) {
        const int at = std::clamp(FModel.NextLivePosition(), 0, static_cast<int>(FRows.size()));
        FRows.insert(FRows.begin() + at, row);
        return at;
    };
    int last = -1;
    if (LiveDelayRowDue(TotalTime, options, static_cast<int>(FRows.size())))
        last = insert(RowFor(TStepRowKind::Delay, LiveDelayText(TotalTime, options)));
    if ((AState == 0 || AState == 1) && static_cast<int>(FRows.size()) < MACRO_LIVE_ROW_LIMIT)
        last = insert(RowFor(AState == 1 ? TStepRowKind::KeyDown : TStepRowKind::KeyUp, MacroKeyString));
    ShowLiveRows();
    if (last >= 0)
        ListBoxMacroKey->ensureVisible(last);
    lableTotalActions->setSourceText(QString::number(FRows.size()));
}

void TFrmMacro::kwHook1StopRecordKeyboardMacroKey(TMacroKeyList &list)
{
    FStopDelivered = true;
    FModel.StopRecording(list, RecordOptions());
    ShowMacroActions();
    UpdateErrorIcon(FModel.CurrentMacro());
}

// ---- tools -----------------------------------------------------------------------------------

void TFrmMacro::ShowSlotFullMessage()
{
    ShowInformation(Tr("WARNING"), Tr("A MACRO CAN HOLD NO MORE THAN 59 ACTIONS."));
}

void TFrmMacro::AfterTool()
{
    ShowMacroActions();
    UpdateErrorIcon(FModel.CurrentMacro());
}

void TFrmMacro::DoActionEditToolClick(TMacroTool tool)
{
    if (FModel.CurrentMacro() < 0 || FModel.Recording())
        return;
    if (tool == TMacroTool::RecordAfter) {
        const TMacroEdit started = FModel.StartRecording(2, ListBoxMacroKey->currentRow());
        if (started == TMacroEdit::SlotFull)
            ShowSlotFullMessage();
        if (started != TMacroEdit::Done)
            return;
        StartRecordingUi();
        AfterTool();
        return;
    }
    const TMacroEdit edit = FModel.ApplyTool(tool);
    if (edit == TMacroEdit::SlotFull) {
        ShowSlotFullMessage();
        return;
    }
    AfterTool();
    // The step is still on the clipboard: a line says why it is not in the
    // list, without a dialog in the way of pasting it elsewhere.
    if (edit == TMacroEdit::CantStand)
        LabelStepNotice->show();
}

void TFrmMacro::bsbtnMouseEventClick()
{
    kwMenuExMouseEvent->ShowMainMenu(LayoutMMBOTTOM, vgPlacementRight);
}

void TFrmMacro::kwMenuExMouseEventItemsClick(uint32_t id)
{
    // A click that would outgrow a slot is ignored without a message.
    if (FModel.InsertMouseAction(static_cast<int>(id), BtnAutoDelay->isChecked()) == TMacroEdit::Done)
        AfterTool();
}

void TFrmMacro::kwMenuMacroListItemsClick(uint32_t id)
{
    static constexpr TMacroTool kTools[] = {TMacroTool::RecordAfter, TMacroTool::Delete, TMacroTool::MoveUp,
                                            TMacroTool::MoveDown,    TMacroTool::Copy,   TMacroTool::Cut,
                                            TMacroTool::Paste};
    if (id >= 1 && id <= 7)
        DoActionEditToolClick(kTools[id - 1]);
}

// ---- delay editing -----------------------------------------------------------------------------

bool TFrmMacro::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == ListBoxMacroKey && e->type() == QEvent::MouseButtonDblClick) {
        // The row under the pointer is the one meant, even when the press
        // before it was taken as part of an earlier click.
        const int row = ListBoxMacroKey->rowAt(static_cast<QMouseEvent *>(e)->position().toPoint());
        if (ListBoxMacroKey->isEnabled() && row >= 0)
            ListBoxMacroKey->setCurrentRow(row);
        ListBoxMacroKeyDblClick();
        return true;
    }
    if (watched == TextBoxSelectedMacroName && e->type() == QEvent::FocusOut) {
        ListBoxMacroList->setEnabled(!FModel.Recording());
        const ListRow *row = ListBoxMacroList->row(ListBoxMacroList->currentRow());
        TextBoxSelectedMacroName->setText(row ? row->text : QString());
    }
    return SkinDialog::eventFilter(watched, e);
}

void TFrmMacro::ListBoxMacroKeyDblClick()
{
    const int row = ListBoxMacroKey->currentRow();
    const TkwActionsClass *steps = FModel.Steps();
    if (FModel.Recording() || !steps || row < 0 || row >= steps->GetCount() ||
        StepRowOf(steps->Actions()[static_cast<size_t>(row)]).Kind != TStepRowKind::Delay)
        return;
    FDelayRow = row;
    const QRect r = ListBoxMacroKey->rowRect(row);
    TextEditDelay->setGeometry(150, r.top(), std::min(90, ListBoxMacroKey->width() - 150), r.height());
    {
        const QSignalBlocker block(TextEditDelay);
        TextEditDelay->setValue(steps->GetDelayValue(row));
    }
    TextEditDelay->show();
    TextEditDelay->setFocus();
    TextEditDelay->selectAll();
}

// Commits when typing ends (Enter or leaving the box), not at the first
// digit typed, so a value of several digits can be entered.
void TFrmMacro::DelayEditCommit()
{
    const int row = FDelayRow;
    FDelayRow = -1;
    if (row < 0 || !TextEditDelay->isVisible())
        return;
    TextEditDelay->hide();
    // The box holds 1..65535; typed text beyond it is clamped by the box,
    // and the model clamps again.
    const int stored = FModel.SetDelay(row, TextEditDelay->value());
    if (stored < 0)
        return;
    if (ListRow *r = ListBoxMacroKey->row(row)) {
        r->text = QString::number(stored);
        FRows[static_cast<size_t>(row)].text = r->text;
        ListBoxMacroKey->updateRow(row);
    }
    ShowTotalDelay();
}

// ---- the show routine --------------------------------------------------------------------------

int ShowMacroManager(TDM *ADM, TkwMacroSetClass &AMacroSetClass, QString &AMacroName, bool &ANeedUpdate)
{
    const auto form = std::make_unique<TFrmMacro>(AMacroSetClass, hkt::skin::DialogCentreWindow());
    form->FDM = ADM;
    form->FCreateByOther = true;
    form->FillMacroList();
    if (!AMacroName.isEmpty() && form->Model().Macros()) {
        const int i = form->Model().Macros()->IndexOfMacroName(AMacroName);
        if (i >= 0 && form->Model().SelectMacro(i)) {
            form->FillMacroList();
        }
    }
    ANeedUpdate = false;
    const int result = form->runModal();
    ANeedUpdate = form->FNeedUpdate;
    if (result == SkinDialog::ResultOK)
        AMacroName = form->Model().CurrentMacroName();
    return result;
}
