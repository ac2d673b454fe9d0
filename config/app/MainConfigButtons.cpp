#include "config/app/MainConfigButtons.h"

#include "config/app/MainConfigDialogs.h"
#include "config/app/MainConfigHost.h"
#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwLanguage.h"
#include "config/ui/kwMenuEx.h"
#include "config/ui/kwSkinKit.h"
#include "core/DMUnit.h"
#include "core/kwMacroClassUnit.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

using namespace hkt::skin;

namespace {

constexpr int kButtonWidth = 132;
constexpr int kButtonHeight = 26;
constexpr int kMacroTopItem = MENU_ID_MACRO - 1; // position of "MACRO" among the top items

// Where each function button sits over its mouse picture (x, y in its layout).
struct Spot {
    int x, y;
};
// Front view: buttons 0..7 beside the mouse seen from above.
constexpr Spot kFrontSpots[8] = {{4, 40},   {334, 40},  {334, 92},  {4, 144},
                                 {4, 196},  {334, 144}, {334, 196}, {334, 248}};
// Side view: buttons 8..12 above and below the mouse seen from its side.
constexpr Spot kSideSpots[5] = {{4, 40}, {169, 40}, {334, 40}, {86, 330}, {252, 330}};

} // namespace

TMainConfigButtons::TMainConfigButtons(TMainConfigHost &AHost, QWidget *AContainer)
    : QObject(AContainer), FHost(AHost), FContainer(AContainer)
{
    const int w = FContainer->width(), h = FContainer->height();
    LayoutButtonSetFront = Place<QWidget>(FContainer, 0, 0, w, h);
    LayoutButtonSetFront->setObjectName(QStringLiteral("LayoutButtonSetFront"));
    LayoutButtonSetSide = Place<QWidget>(FContainer, 0, 0, w, h);
    LayoutButtonSetSide->setObjectName(QStringLiteral("LayoutButtonSetSide"));

    // The pictures' own proportions (300 x 380 and 420 x 240), scaled down.
    ImageMouseLayoutFront = Place<SkinImage>(LayoutButtonSetFront, 147, 20, 180, 228);
    ImageMouseLayoutFront->setObjectName(QStringLiteral("ImageMouseLayoutFront"));
    ImageMouseLayoutFront->setMode(SkinImage::Mode::Fit);
    ImageMouseLayoutFront->setFallback([](QPainter &p, const QRectF &r) { PaintMouseTop(p, r, false); });
    ImageMouseLayoutSide = Place<SkinImage>(LayoutButtonSetSide, 35, 110, 400, 210);
    ImageMouseLayoutSide->setObjectName(QStringLiteral("ImageMouseLayoutSide"));
    ImageMouseLayoutSide->setMode(SkinImage::Mode::Fit);
    ImageMouseLayoutSide->setFallback([](QPainter &p, const QRectF &r) { PaintMouseSide(p, r); });
    for (SkinImage *img : {ImageMouseLayoutFront, ImageMouseLayoutSide})
        img->setAttribute(Qt::WA_TransparentForMouseEvents);

    for (int tag = 0; tag < BUTTON_ENTRY_COUNT; ++tag) {
        const bool front = tag < 8;
        QWidget *parent = front ? LayoutButtonSetFront : LayoutButtonSetSide;
        const Spot s = front ? kFrontSpots[tag] : tag < SHOWN_BUTTON_COUNT ? kSideSpots[tag - 8] : Spot{169, 380};
        auto *b = Place<StateButton>(parent, s.x, s.y, kButtonWidth, kButtonHeight);
        b->setObjectName(tag == 8 ? QStringLiteral("Btnset9") : QStringLiteral("BtnSet%1").arg(tag + 1));
        b->setProperty("Tag", tag);
        b->setFont(SkinFont(QStringLiteral("Myriad Pro"), 11, true));
        b->setFallback(FaceFallback(FaceKind::Assign));
        // Caption and hint are built (and translated) by the page: no source
        // texts for the language component to translate again.
        b->setAutoTranslate(false);
        b->setProperty("kwNoTranslate", true);
        b->setHandCursor(true);
        b->setVisible(tag < SHOWN_BUTTON_COUNT);
        b->installEventFilter(this);
        connect(b, &StateButton::clicked, this, [this, tag] { BtnSet1Click(tag); });
        BtnSet[size_t(tag)] = b;
    }

    BTNFrontView = Place<StateButton>(FContainer, 128, 400, 100, 30);
    BTNFrontView->setObjectName(QStringLiteral("BTNFrontView"));
    BTNFrontView->setText(QStringLiteral("FRONT"));
    BTNSIDEVIEW = Place<StateButton>(FContainer, 242, 400, 100, 30);
    BTNSIDEVIEW->setObjectName(QStringLiteral("BTNSIDEVIEW"));
    BTNSIDEVIEW->setText(QStringLiteral("SIDE"));
    for (StateButton *b : {BTNFrontView, BTNSIDEVIEW}) {
        b->setFont(SkinFont(QStringLiteral("Futura Std Medium"), 11, true));
        b->setFallback(FaceFallback(FaceKind::Profile));
        b->setStaysPressed(true);
    }
    connect(BTNFrontView, &StateButton::clicked, this, [this] { ShowMouseView(0); });
    connect(BTNSIDEVIEW, &StateButton::clicked, this, [this] { ShowMouseView(1); });

    FHost.FunctionMenu().OnItemsClick = [this](TkwMenuItemEx *, const QString &, uint32_t AMenuItemID, void *,
                                               int) { kwMenuEx1ItemsClick(AMenuItemID); };
    // Captions are built in the language in force: build them again when it changes.
    connect(&kwLanguageNotifier(), &TkwLanguageNotifier::LanguageChanged, this, [this] { ShowCaptions(); });

    LoadSkin();
    ShowMouseView(0);
}

void TMainConfigButtons::LoadSkin()
{
    TImageDataBase &db = GlobalImageDataBase();
    db.AssignIMAGE(ImageMouseLayoutFront->pictureRef(), QStringLiteral("mouse-layout-front.png"),
                   QStringLiteral("background"));
    db.AssignIMAGE(ImageMouseLayoutSide->pictureRef(), QStringLiteral("mouse-layout-Side.png"),
                   QStringLiteral("background"));
    for (StateButton *b : BtnSet)
        AssignStatePictures(db, b->picturesRef(), QStringLiteral("ButtonAssign-1.png"),
                            QStringLiteral("ButtonAssign-2.png"), QStringLiteral("ButtonAssign-3.png"),
                            QStringLiteral("Buttons"));
    for (StateButton *b : {BTNFrontView, BTNSIDEVIEW})
        AssignStatePictures(db, b->picturesRef(), QStringLiteral("ProfileButton-1.png"),
                            QStringLiteral("ProfileButton-2.png"), QStringLiteral("ProfileButton-3.png"),
                            QStringLiteral("Buttons"));
}

void TMainConfigButtons::ShowMouseView(int AView)
{
    FView = AView == 1 ? 1 : 0;
    LayoutButtonSetFront->setVisible(FView == 0);
    LayoutButtonSetSide->setVisible(FView == 1);
    BTNFrontView->setChecked(FView == 0);
    BTNSIDEVIEW->setChecked(FView == 1);
}

// ---- menu --------------------------------------------------------------------------

void TMainConfigButtons::BtnSet1Click(int ATag)
{
    if (ATag < 0 || ATag >= BUTTON_ENTRY_COUNT)
        return;
    TDM &dm = FHost.DataModule();
    FSelectedButtonIndex = ATag;
    FMenuProfile = dm.FProfileIndex;
    const int32_t selected = dm.FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[ATag].MenuID;
    FHost.FunctionMenu().ShowMainMenu(int64_t(selected), BtnSet[size_t(ATag)], vgPlacementMouse);
}

bool TMainConfigButtons::MenuProfileStillCurrent() const
{
    return FMenuProfile == FHost.DataModule().FProfileIndex;
}

void TMainConfigButtons::kwMenuEx1ItemsClick(uint32_t AMenuItemID)
{
    // A choice made for a profile that is no longer current is dropped.
    if (!MenuProfileStillCurrent() || AMenuItemID > uint32_t(INT32_MAX))
        return;
    AssignFunctionToButton(int(AMenuItemID));
    FHost.State().SettingsChanged = true;
}

void TMainConfigButtons::AssignFunctionToButton(int AMenuItemID)
{
    TDM &dm = FHost.DataModule();
    switch (::AssignFunctionToButton(dm, FHost.MacroSet(), FSubmenuSource, FSelectedButtonIndex, AMenuItemID,
                                     FCurrentMacro)) {
    case TAssignResult::Assigned:
        ShowButtonFunction(FSelectedButtonIndex, AMenuItemID);
        break;
    case TAssignResult::RefusedLastClick:
        FHost.Message(QString::fromLatin1(CLICK_REFUSAL_TITLE), QString::fromLatin1(CLICK_REFUSAL_TEXT));
        break;
    case TAssignResult::RefusedMacroLimit:
        ShowMacroLimitRefusal();
        break;
    case TAssignResult::NeedsDialog:
        RunDialogItem(AMenuItemID);
        break;
    case TAssignResult::Unchanged:
        break;
    }
}

void TMainConfigButtons::RunDialogItem(int AMenuItemID)
{
    // A dialog's answer is for the profile current when it opened: when the
    // monitor switched profiles meanwhile, the answer counts as CANCEL.
    auto keep = [this](int r) { return MenuProfileStillCurrent() ? r : SkinDialog::ResultCancel; };
    TButtonDialogs d = Dialogs;
    d.SingleKey = [inner = Dialogs.SingleKey, keep](TSINGLEKEYINFO &t) { return keep(inner ? inner(t) : 2); };
    d.ComboKey = [inner = Dialogs.ComboKey, keep](TCOMBOKEYINFO &t) { return keep(inner ? inner(t) : 2); };
    d.FireKey = [inner = Dialogs.FireKey, keep](TADVANCEDFIREKEYINFO &t) { return keep(inner ? inner(t) : 2); };
    d.MacroManager = [inner = Dialogs.MacroManager, keep](TDM &dm, TkwMacroSetClass &db, QString &name, bool &update) {
        return keep(inner ? inner(dm, db, name, update) : 2);
    };
    TDM &dm = FHost.DataModule();
    const TDialogAssignResult r =
        AssignDialogFunction(dm, FHost.MacroSet(), FSelectedButtonIndex, AMenuItemID, FCurrentMacro, d);
    if (r == TDialogAssignResult::RefusedMacroLimit)
        ShowMacroLimitRefusal();
    if (AMenuItemID == MENU_ID_MACRO_MANAGER) {
        // Whatever the manager changed: the sub-menu and every caption again.
        RefreshButtons();
    } else if (r == TDialogAssignResult::Assigned) {
        ShowButtonFunction(FSelectedButtonIndex, AMenuItemID);
    }
}

void TMainConfigButtons::ShowMacroLimitRefusal()
{
    FHost.Message(QString::fromLatin1(MACRO_LIMIT_TITLE), QString::fromLatin1(MACRO_LIMIT_TEXT));
}

void TMainConfigButtons::BuildMacroSubmenu()
{
    TkwMenuItemEx *macro = FHost.FunctionMenu().Items().Items(kMacroTopItem);
    if (!macro)
        return;
    FSubmenuSource = MacroSubmenuSourceOf(FHost.MacroSet());
    TkwMenuItemsEx &sub = macro->SubItems();
    sub.Clear();
    sub.Add(QStringLiteral("MACRO MANAGER"));
    for (const TMACROKEYINFO &m : FSubmenuSource.Macros)
        sub.Add(MacroSubmenuCaption(m));
}

void TMainConfigButtons::SyncButtonMacros()
{
    ::SyncButtonMacros(FHost.DataModule().FCurrentProfileInfo.ConfigInfo, FHost.MacroSet());
}

// ---- captions ------------------------------------------------------------------------

void TMainConfigButtons::kwCommandSetting1Commands0Execute()
{
    const TMOUSECONFIGINFO &cfg = FHost.DataModule().FCurrentProfileInfo.ConfigInfo;
    // At most the 14 entries a profile has, whatever ButtonCount says.
    for (int i = 0; i < CheckedButtonCount(cfg); ++i)
        ShowButtonFunction(i, ShownMenuIDOf(cfg.ButtonFuncInfo[i]));
}

void TMainConfigButtons::RefreshButtons()
{
    BuildMacroSubmenu();
    ShowCaptions();
}

void TMainConfigButtons::ShowCaptions()
{
    const TMOUSECONFIGINFO &cfg = FHost.DataModule().FCurrentProfileInfo.ConfigInfo;
    for (int i = 0; i < SHOWN_BUTTON_COUNT; ++i)
        ShowButtonFunction(i, ShownMenuIDOf(cfg.ButtonFuncInfo[i]));
}

void TMainConfigButtons::ShowButtonFunction(int AIndex, int AMenuItemID)
{
    if (AIndex < 0 || AIndex >= BUTTON_ENTRY_COUNT)
        return;
    const TBUTTONFUNCINFO &e = FHost.DataModule().FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[AIndex];
    BtnSet[size_t(AIndex)]->setText(ButtonFunctionText(e, AMenuItemID));
    ShowButtonHint(AIndex);
}

void TMainConfigButtons::BtnSet1MouseEnter(int ATag) { ShowButtonHint(ATag); }

void TMainConfigButtons::ShowButtonHint(int AIndex)
{
    if (AIndex < 0 || AIndex >= BUTTON_ENTRY_COUNT)
        return;
    const TBUTTONFUNCINFO &e = FHost.DataModule().FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[AIndex];
    BtnSet[size_t(AIndex)]->setToolTip(ButtonHintText(e));
}

bool TMainConfigButtons::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AEvent->type() == QEvent::Enter)
        if (const QVariant tag = AWatched->property("Tag"); tag.isValid())
            BtnSet1MouseEnter(tag.toInt());
    return QObject::eventFilter(AWatched, AEvent);
}
