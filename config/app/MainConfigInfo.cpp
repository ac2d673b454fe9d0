#include "config/app/MainConfigInfo.h"

#include "config/app/MainConfigHost.h"
#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwLanguage.h"
#include "config/ui/kwMenuEx.h"
#include "config/ui/kwSkinKit.h"
#include "core/DMUnit.h"
#include "platform/WindowMessages.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>

using namespace hkt::skin;

namespace {

// The maker's addresses and name that the information page shows.
constexpr char kWebAddress[] = "https://www.hkt75.example/";
constexpr char kMailAddress[] = "support@hkt75.example";
constexpr char kMaker[] = "HKT75 GAMING GEAR";

SkinLabel *Text(QWidget *parent, int x, int y, int w, const QString &source, bool translate = true, int px = 13,
                bool bold = false)
{
    auto *l = Place<SkinLabel>(parent, x, y, w, 22);
    l->setAutoTranslate(translate);
    l->setSourceText(source);
    l->setFont(SkinFont(QStringLiteral("Tahoma"), px, bold));
    SetSkinStyle(l, QStringLiteral("mylabel"));
    return l;
}

// A titled panel of the information page.
QWidget *Panel(QWidget *parent, int x, int y, int w, int h, const char *title)
{
    auto *back = Place<SkinImage>(parent, x, y, w, h);
    back->setFallback([](QPainter &p, const QRectF &r) { PaintPanel(p, r); });
    auto *t = Text(back, 16, 10, w - 32, QLatin1String(title), true, 15, true);
    SetSkinStyle(t, QStringLiteral("wlabel"));
    return back;
}

StateButton *OpenButton(QWidget *parent, int x, int y, const char *name)
{
    auto *b = Place<StateButton>(parent, x, y, 76, 26);
    b->setObjectName(QLatin1String(name));
    b->setText(QStringLiteral("OPEN"));
    b->setFont(SkinFont(QStringLiteral("Tahoma"), 11, true));
    b->setFallback(FaceFallback(FaceKind::Command));
    AssignStatePictures(GlobalImageDataBase(), b->picturesRef(), QStringLiteral("ok-1.png"),
                        QStringLiteral("ok-2.png"), QStringLiteral("ok-2.png"), QStringLiteral("Buttons"));
    return b;
}

} // namespace

TMainConfigInfo::TMainConfigInfo(TMainConfigHost &AHost, QWidget *AContainer)
    : QObject(AContainer), FHost(AHost)
{
    OpenUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    const TMainConfigControls &c = FHost.Controls();
    if (c.LayoutInfo)
        BuildLayoutInfo(c.LayoutInfo);
    if (c.LayoutInfoOEM)
        BuildLayoutInfoOEM(c.LayoutInfoOEM);
    if (c.BtnHelp)
        connect(c.BtnHelp, &StateButton::clicked, this, [this] { BTNHELPClick(); });
    if (c.PopBoxLanguage) {
        connect(c.PopBoxLanguage, &QComboBox::currentIndexChanged, this, [this](int row) { PopBoxLanguageChange(row); });
        // Typing in the box does nothing.
        c.PopBoxLanguage->installEventFilter(this);
    }
}

void TMainConfigInfo::BuildLayoutInfo(QWidget *L)
{
    const int w = 370, h = 200;
    QWidget *product = Panel(L, 20, 14, w, h, "Product Info");
    Text(product, 20, 50, w - 40, QStringLiteral("Name: Product Name"));
    Text(product, 20, 80, w - 40, QStringLiteral("Modal: Modal Number"));
    Text(product, 20, 110, w - 40, QStringLiteral("category:Wired laser gaming mouse"));

    QWidget *version = Panel(L, 410, 14, w, h, "Version Info");
    Text(version, 20, 50, w - 40, QStringLiteral("Hardware Core:1.00.00"));
    Text(version, 20, 80, w - 40, QStringLiteral("Software Core:1.00.00"));

    QWidget *help = Panel(L, 20, 230, w, h, "Help Info");
    Text(help, 20, 52, 80, QStringLiteral("Help:"));
    Text(help, 100, 52, 160, QStringLiteral("user manual"));
    BSBTNHELPLINK = OpenButton(help, w - 96, 50, "BSBTNHELPLINK");
    Text(help, 20, 100, 80, QStringLiteral("Website:"));
    labelWebSite = Text(help, 20, 128, w - 40, QLatin1String(kWebAddress), false);
    labelWebSite->setObjectName(QStringLiteral("labelWebSite"));
    bsbtnopenwebsite = OpenButton(help, w - 96, 98, "bsbtnopenwebsite");
    connect(BSBTNHELPLINK, &StateButton::clicked, this, [this] { BSBTNHELPLINKClick(); });
    connect(bsbtnopenwebsite, &StateButton::clicked, this, [this] { bsbtnopenwebsiteClick(); });

    QWidget *contact = Panel(L, 410, 230, w, h, "Contact Info");
    // The caption in the display language, the address as it is.
    Text(contact, 20, 50, 80, QStringLiteral("E-mail:"));
    Text(contact, 100, 50, w - 120, QLatin1String(kMailAddress), false);
    Text(contact, 20, 80, w - 40, QStringLiteral("Tel: SERVICE NUMBER"))->hide();
}

void TMainConfigInfo::BuildLayoutInfoOEM(QWidget *L)
{
    QWidget *panel = Panel(L, 200, 60, 400, 300, "OEM GAMING MOUSE NAME");
    Text(panel, 30, 60, 340, QStringLiteral("MODEL:"));
    Text(panel, 30, 100, 340, QStringLiteral("VERSION: V1.0.0"));
    Text(panel, 30, 160, 340, QLatin1String(kMaker), false);
    Text(panel, 30, 190, 340, QStringLiteral("ALL RIGHTS RESERVED"));
    lblwebsite = Text(panel, 30, 230, 340, QLatin1String(kWebAddress), false);
    lblwebsite->setObjectName(QStringLiteral("lblwebsite"));
    lblwebsite->setCursor(Qt::PointingHandCursor);
    lblwebsite->installEventFilter(this);
    lblwebsite->hide();
    Text(panel, 30, 260, 80, QStringLiteral("E-mail:"))->hide();
    Text(panel, 110, 260, 260, QLatin1String(kMailAddress), false)->hide();
}

bool TMainConfigInfo::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AWatched == lblwebsite && AEvent->type() == QEvent::MouseButtonRelease) {
        lblwebsiteClick();
    } else if (AWatched == FHost.Controls().PopBoxLanguage &&
               (AEvent->type() == QEvent::KeyPress || AEvent->type() == QEvent::ShortcutOverride)) {
        return true; // the key and its character are dropped
    }
    return QObject::eventFilter(AWatched, AEvent);
}

// ---- help and web ---------------------------------------------------------------------

void TMainConfigInfo::OpenHelp(const TNameValueList &AList)
{
    const QString value = HelpValueForLanguage(AList, FHost.Language().Lang());
    const THelpTarget t = ResolveHelpTarget(FHost.ProgramFolder(), value);
    switch (t.What) {
    case THelpTarget::Kind::None:
        // Nothing to hand to the desktop; a button that answers nothing
        // looks broken, so say why.
        FHost.Message(QString::fromLatin1(DIALOG_TITLE_WARNING), QString::fromLatin1(HELP_NOT_CONFIGURED_TEXT));
        break;
    case THelpTarget::Kind::File:
        Open(QUrl::fromLocalFile(t.Target));
        break;
    case THelpTarget::Kind::Address:
        Open(QUrl::fromUserInput(t.Target));
        break;
    case THelpTarget::Kind::MissingFile:
        FHost.Message(QString::fromLatin1(DIALOG_TITLE_WARNING), QString::fromLatin1(HELP_FILE_MISSING_TEXT));
        break;
    }
}

void TMainConfigInfo::BSBTNHELPLINKClick() { OpenHelp(FHost.DataModule().FOtherConfig.HelpLinks); }
void TMainConfigInfo::BTNHELPClick() { OpenHelp(FHost.DataModule().FOtherConfig.HelpFile); }

void TMainConfigInfo::Open(const QUrl &AUrl)
{
    if (OpenUrl(AUrl))
        return;
    // The desktop has nothing to open it with (no web browser, no program
    // for the file): a button that does nothing looks broken, so say why.
    FHost.Message(QString::fromLatin1(DIALOG_TITLE_WARNING),
                  QString::fromLatin1(AUrl.isLocalFile() ? NO_HELP_PROGRAM_TEXT : NO_WEB_BROWSER_TEXT));
}

void TMainConfigInfo::OpenText(const QString &AText)
{
    const QString text = AText.trimmed();
    if (!text.isEmpty())
        Open(QUrl::fromUserInput(text));
}

void TMainConfigInfo::bsbtnopenwebsiteClick() { OpenText(labelWebSite->text()); }
void TMainConfigInfo::lblwebsiteClick() { OpenText(lblwebsite->text()); }

// ---- language ---------------------------------------------------------------------------

void TMainConfigInfo::FillLanguageBox()
{
    QComboBox *box = FHost.Controls().PopBoxLanguage;
    FLanguageRows = LanguageBoxRows(FHost.Language().Resources());
    if (!box)
        return;
    const QSignalBlocker block(box);
    box->clear();
    for (const TLanguageBoxRow &r : FLanguageRows)
        box->addItem(r.Name, r.Position);
}

void TMainConfigInfo::ShowLanguageSelection()
{
    QComboBox *box = FHost.Controls().PopBoxLanguage;
    if (!box)
        return;
    const QSignalBlocker block(box);
    box->setCurrentIndex(LanguageBoxRowOfPosition(FLanguageRows, FHost.DataModule().FAllProfileSettingInfo.CurrentLanguage));
}

void TMainConfigInfo::ApplyLanguage()
{
    TkwLanguage &lang = FHost.Language();
    const int current = FHost.DataModule().FAllProfileSettingInfo.CurrentLanguage;
    if (lang.GetLanguageIndexByShortID(lang.Lang()) != current)
        lang.SetLang(lang.GetLanguageShortIDByIndex(current));
    if (lang.Resources().size() <= 1)
        lang.SetLang(QStringLiteral("0409"));
    // An empty or unknown identifier takes the pictures of 0409.
    GlobalImageDataBase().SetImageBasePath(SkinFolderForLanguage(FHost.ProgramFolder(), lang.Lang()));
    // Qt's standard dialogs (file, colour) speak the same language.
    kwInstallQtTranslations(lang.Lang());
    // The DPI page's axis labels translate themselves; the title follows,
    // also as the application's name, which Qt adds to every window's title.
    if (QWidget *w = FHost.MainWindow())
        kwSetSourceText(w, "windowTitle", QString::fromLatin1(CONFIG_APP_TITLE));
    QGuiApplication::setApplicationDisplayName(Translate(QString::fromLatin1(CONFIG_APP_TITLE)));
}

void TMainConfigInfo::PopBoxLanguageChange(int ARow)
{
    // No selection changes nothing.
    if (ARow < 0 || ARow >= int(FLanguageRows.size()))
        return;
    const int position = FLanguageRows[size_t(ARow)].Position;
    TkwLanguage &lang = FHost.Language();
    const QString id = lang.GetLanguageShortIDByIndex(position);
    if (id.isEmpty())
        return;
    lang.SetLang(id);
    TkwMenuFont &font = FHost.FunctionMenu().Parameters.ItemFont;
    if (id.compare(QLatin1String("0409"), Qt::CaseInsensitive) == 0)
        font.Family = QStringLiteral("Verdana");
    else if (id == QLatin1String("0804") || id == QLatin1String("0404"))
        font.Family = QStringLiteral("\u9ED1\u4F53"); // 黑体
    TDM &dm = FHost.DataModule();
    dm.FAllProfileSettingInfo.CurrentLanguage = uint8_t(position);
    dm.SaveBackAllProfileSettingInfo();
    ApplyLanguage();
    FHost.MacrosChanged(false);
    using namespace hkt::platform;
    if (const WindowHandle monitor = FindWindowByClass(QString::fromLatin1(MONITOR_WINDOW_CLASS), FHost.RuntimeRoot()))
        SendWindowMessage(monitor, WM_LANGUAGE_CHANGED, position, 0);
    FHost.State().SettingsChanged = true;
}
