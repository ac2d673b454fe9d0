#include "config/app/MainConfigDPI.h"

#include "config/app/DPILevels.h"
#include "config/app/DeviceWriteGuard.h"
#include "config/app/MainConfigHost.h"
#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwSkinKit.h"
#include "core/DMUnit.h"
#include "core/pubunit_device_commands.h"

#include <QButtonGroup>
#include <QPainter>
#include <QCheckBox>
#include <QRadioButton>
#include <QSignalBlocker>

#include <memory>

using namespace hkt::skin;

namespace {
constexpr int kColumnX = 24;
constexpr int kColumnPitch = 154;
constexpr int kBarTop = 92;
constexpr int kBarHeight = 260;
} // namespace

TMainConfigDPI::TMainConfigDPI(TMainConfigHost &AHost, QWidget *AContainer)
    : QObject(AContainer), FHost(AHost), FContainer(AContainer)
{
    FRadioGroup = new QButtonGroup(this);
    const QFont labelFont = SkinFont(QStringLiteral("Tahoma"), 12, true);
    for (int i = 0; i < 5; ++i) {
        TLevelControls &L = Levels[size_t(i)];
        const int x0 = kColumnX + i * kColumnPitch;
        const QString n = QString::number(i + 1);

        L.BtnCPI = Place<StateButton>(FContainer, x0 + 16, 8, 108, 32);
        L.BtnCPI->setObjectName(QStringLiteral("BtnCPI") + n);
        L.BtnCPI->setText(QStringLiteral("DPI") + n);
        L.BtnCPI->setProperty("Tag", i);
        L.BtnCPI->setStaysPressed(true); // pressed: the level is off
        L.BtnCPI->setFont(SkinFont(QStringLiteral("Futura Std Medium"), 13, true, true));
        // The look follows the level's style, not the pressed state: an off
        // level (pressed) is dimmed, the current one lit.
        StateButton *b = L.BtnCPI;
        b->setFallback([b](QPainter &p, const QRectF &r, ButtonState s) {
            const QString style = SkinStyleOf(b);
            if (style.compare(QLatin1String(CPI_STYLE_CURRENT), Qt::CaseInsensitive) == 0) {
                PaintButtonFace(p, r, ButtonState::Pressed, FaceKind::Profile);
            } else if (style.compare(QLatin1String(CPI_STYLE_OFF), Qt::CaseInsensitive) == 0) {
                p.setOpacity(0.5);
                PaintButtonFace(p, r, ButtonState::Normal, FaceKind::Profile);
                p.setOpacity(1);
            } else {
                PaintButtonFace(p, r, s == ButtonState::Hot ? s : ButtonState::Normal, FaceKind::Profile);
            }
        });
        SetSkinStyle(L.BtnCPI, QString::fromLatin1(CPI_STYLE_ON));
        connect(L.BtnCPI, &StateButton::clicked, this, [this, i] { BtnCPI1MouseUp(i); });

        L.DPIL = Place<QRadioButton>(FContainer, x0 + 60, 46, 22, 22);
        L.DPIL->setObjectName(QStringLiteral("DPIL") + n);
        L.DPIL->setProperty("Tag", i);
        SetSkinStyle(L.DPIL, QStringLiteral("MYDPILevelStyle"));
        FRadioGroup->addButton(L.DPIL, i);

        L.TextX = Place<SkinLabel>(FContainer, x0 + 22, 72, 30, 16, QStringLiteral("X"));
        L.TextX->setObjectName(QStringLiteral("TextCPI%1X").arg(n));
        L.TextY = Place<SkinLabel>(FContainer, x0 + 88, 72, 30, 16, QStringLiteral("Y"));
        L.TextY->setObjectName(QStringLiteral("TextCPI%1Y").arg(n));
        for (SkinLabel *t : {L.TextX, L.TextY}) {
            t->setFont(labelFont);
            t->setAlignment(Qt::AlignCenter);
            SetSkinStyle(t, QStringLiteral("wlabel"));
        }

        L.TrackX = Place<TrackBar>(FContainer, x0 + 27, kBarTop, 20, kBarHeight, Qt::Vertical);
        L.TrackX->setObjectName(QStringLiteral("TrackCPI%1X").arg(n));
        L.TrackY = Place<TrackBar>(FContainer, x0 + 93, kBarTop, 20, kBarHeight, Qt::Vertical);
        L.TrackY->setObjectName(QStringLiteral("TrackCPI%1Y").arg(n));
        for (TrackBar *bar : {L.TrackX, L.TrackY}) {
            bar->setRange(CPI_MIN_VALUE, CPI_MAX_VALUE);
            bar->setFrequency(CPI_VALUE_STEP);
            bar->setValue(CPI_MIN_VALUE);
        }
        connect(L.TrackX, &TrackBar::valueChanged, this, [this, i](int v) { TrackCPI1XChange(i, 0, v); });
        connect(L.TrackY, &TrackBar::valueChanged, this, [this, i](int v) { TrackCPI1XChange(i, 1, v); });

        L.TxtXNum = Place<SkinLabel>(FContainer, x0 + 2, kBarTop + kBarHeight + 6, 70, 18);
        L.TxtXNum->setObjectName(QStringLiteral("TxtCPI%1XNum").arg(n));
        L.TxtYNum = Place<SkinLabel>(FContainer, x0 + 68, kBarTop + kBarHeight + 6, 70, 18);
        L.TxtYNum->setObjectName(QStringLiteral("TxtCPI%1YNum").arg(n));
        for (SkinLabel *t : {L.TxtXNum, L.TxtYNum}) {
            t->setAutoTranslate(false);
            t->setFont(SkinFont(QStringLiteral("Tahoma"), 12, true));
            t->setAlignment(Qt::AlignCenter);
            SetSkinStyle(t, QStringLiteral("mylabel"));
        }

        L.CheckCPI = Place<QCheckBox>(FContainer, x0 + 24, 390, 110, 22);
        L.CheckCPI->setObjectName(QStringLiteral("CheckCPI") + n);
        L.CheckCPI->setText(QStringLiteral("LINK XY"));
        L.CheckCPI->setProperty("Tag", i);
        L.CheckCPI->setFont(SkinFont(QStringLiteral("Tahoma"), 11, true));
        SetSkinStyle(L.CheckCPI, QStringLiteral("myradiocheckboxstyle"));
        connect(L.CheckCPI, &QCheckBox::toggled, this, [this, i](bool on) { CheckCPI1Change(i, on); });
    }
    // DPI1 starts checked before any handler is bound, so no handler runs for it.
    {
        const QSignalBlocker block(Levels[0].DPIL);
        Levels[0].DPIL->setChecked(true);
    }
    for (int i = 0; i < 5; ++i)
        connect(Levels[size_t(i)].DPIL, &QRadioButton::toggled, this,
                [this, i](bool on) { doSetDPIIndexchanged(i, on); });

    TImageDataBase &db = GlobalImageDataBase();
    for (TLevelControls &L : Levels) {
        db.AssignIMAGE(L.TrackX->backgroundRef(), QStringLiteral("dpi-indicator-x.png"), QStringLiteral("controls"));
        db.AssignIMAGE(L.TrackY->backgroundRef(), QStringLiteral("dpi-indicator-y.png"), QStringLiteral("controls"));
    }
}

void TMainConfigDPI::SetLevelStyle(int i, const QString &AStyle)
{
    StateButton *b = Levels[size_t(i)].BtnCPI;
    SetSkinStyle(b, AStyle);
    b->update();
    // The current level's caption in the accent colour, an off level's dimmed.
    if (AStyle == QLatin1String(CPI_STYLE_CURRENT))
        b->setTextColor(QColor::fromRgba(colour::Accent));
    else if (AStyle == QLatin1String(CPI_STYLE_OFF))
        b->setTextColor(QColor::fromRgba(colour::TextDim));
    else
        b->setTextColor(QColor::fromRgba(colour::Text));
}

void TMainConfigDPI::SetCPILevelControlsEnabled(int i, bool AOn)
{
    if (i < 0 || i >= 5)
        return;
    TLevelControls &L = Levels[size_t(i)];
    // The Y value text is not among them.
    for (QWidget *w : std::initializer_list<QWidget *>{L.CheckCPI, L.TrackX, L.TrackY, L.TxtXNum})
        w->setEnabled(AOn);
    SetLevelStyle(i, QString::fromLatin1(AOn ? CPI_STYLE_ON : CPI_STYLE_OFF));
}

void TMainConfigDPI::ShowCPILevel(int i)
{
    if (i < 0 || i >= 5)
        return;
    TDM &dm = FHost.DataModule();
    const TMOUSECONFIGINFO &cfg = dm.FCurrentProfileInfo.ConfigInfo;
    TLevelControls &L = Levels[size_t(i)];
    const bool link = cfg.UseDiffentXY[i] == 1;
    const int x = cfg.CPIState[i].X, y = cfg.CPIState[i].Y;
    L.BtnCPI->setChecked(cfg.CPIState[i].Enabled != 1);
    // The box's and bars' change events stay bound: a shown value that
    // changes runs its handler (a linked level with X != Y ends at Y).
    L.CheckCPI->setChecked(link);
    L.TrackX->setValue(x);
    L.TrackY->setValue(y);
    // The texts show what is stored now, not the values read before.
    L.TxtXNum->setSourceText(QString::number(cfg.CPIState[i].X));
    L.TxtYNum->setSourceText(QString::number(cfg.CPIState[i].Y));
    dm.SaveBackToCurrentProfileInfo();
}

void TMainConfigDPI::ShowCPILevelSelection()
{
    const TMOUSECONFIGINFO &cfg = FHost.DataModule().FCurrentProfileInfo.ConfigInfo;
    const int levels = CPILevelsInUse(cfg);
    std::array<std::unique_ptr<QSignalBlocker>, 5> blocks;
    for (size_t i = 0; i < Levels.size(); ++i)
        blocks[i] = std::make_unique<QSignalBlocker>(Levels[i].DPIL);
    // Unchecking every radio needs a non-exclusive group for a moment.
    FRadioGroup->setExclusive(false);
    for (int i = 0; i < levels; ++i) {
        if (cfg.CPIState[i].Enabled != 0)
            SetLevelStyle(i, CPILevelStyle(cfg, i));
        else
            SetLevelStyle(i, QString::fromLatin1(CPI_STYLE_OFF));
        Levels[size_t(i)].DPIL->setChecked(i == cfg.CurrentCPIIndex);
    }
    FRadioGroup->setExclusive(true);
}

void TMainConfigDPI::kwCommandSetting1Commands1Execute()
{
    for (int i = 0; i < 5; ++i) {
        SetCPILevelControlsEnabled(i, FHost.DataModule().FCurrentProfileInfo.ConfigInfo.CPIState[i].Enabled == 1);
        ShowCPILevel(i);
    }
    ShowCPILevelSelection();
}

// ---- the user's edits -----------------------------------------------------------------

void TMainConfigDPI::BtnCPI1MouseUp(int i)
{
    if (i < 0 || i >= 5)
        return;
    TDM &dm = FHost.DataModule();
    TMOUSECONFIGINFO &cfg = dm.FCurrentProfileInfo.ConfigInfo;
    StateButton *b = Levels[size_t(i)].BtnCPI;
    const bool on = !b->isChecked(); // the button has toggled already; pressed is off
    if (SetCPILevelEnabled(cfg, i, on)) {
        SetCPILevelControlsEnabled(i, on);
    } else {
        // The last level that is on stays on.
        b->setChecked(false);
    }
    ShowCPILevelSelection();
    dm.SaveBackToCurrentProfileInfo();
    FHost.State().SettingsChanged = true;
}

void TMainConfigDPI::CheckCPI1Change(int i, bool AChecked)
{
    if (i < 0 || i >= 5)
        return;
    TDM &dm = FHost.DataModule();
    dm.FCurrentProfileInfo.ConfigInfo.UseDiffentXY[i] = AChecked ? 1 : 0;
    dm.SaveBackToCurrentProfileInfo();
    FHost.State().SettingsChanged = true;
}

void TMainConfigDPI::TrackCPI1XChange(int i, int AAxis, int AValue)
{
    if (i < 0 || i >= 5 || (AAxis != 0 && AAxis != 1))
        return;
    TDM &dm = FHost.DataModule();
    TMOUSECONFIGINFO &cfg = dm.FCurrentProfileInfo.ConfigInfo;
    TLevelControls &L = Levels[size_t(i)];
    SetCPIValue(cfg, i, AAxis, AValue);
    if (CPILinked(cfg, i)) {
        // The other bar follows; its own change finds nothing more to change.
        (AAxis == 0 ? L.TrackY : L.TrackX)->setValue(AValue);
        L.TxtXNum->setSourceText(QString::number(cfg.CPIState[i].X));
        L.TxtYNum->setSourceText(QString::number(cfg.CPIState[i].Y));
    } else {
        (AAxis == 0 ? L.TxtXNum : L.TxtYNum)
            ->setSourceText(QString::number(AAxis == 0 ? cfg.CPIState[i].X : cfg.CPIState[i].Y));
    }
    dm.SaveBackToCurrentProfileInfo();
    FHost.State().SettingsChanged = true;
}

void TMainConfigDPI::doSetDPIIndexchanged(int i, bool AChecked)
{
    if (!AChecked || i < 0 || i >= 5)
        return;
    TDM &dm = FHost.DataModule();
    TMOUSECONFIGINFO &cfg = dm.FCurrentProfileInfo.ConfigInfo;
    const int before = cfg.CurrentCPIIndex;
    TDeviceWriteGuard &device = FHost.DeviceWrites();
    const int p = dm.FProfileIndex;
    const bool ran = device.Run([&] {
        cfg.CurrentCPIIndex = i;
        ShowCPILevelSelection();
        // The choice goes into the profile too, so a profile switch or the
        // monitor's reload never brings the old level back.
        dm.SaveBackToCurrentProfileInfo();
        TDeviceCPITable table{};
        EncodeCPITable(dm.FCurrentProfileInfo, table);
        if (WriteCPITable(device.HID(), table, CPITableAddress(p)) == 0)
            device.NoteMouseStateWritten(TDeviceWriteGuard::TMouseState::CPILevel, p, table.CurrentCPIIndex);
        device.Wait();
        device.SendRefreshAndNotify();
    });
    if (!ran) {
        // Another sequence is writing the mouse: the choice is not taken.
        cfg.CurrentCPIIndex = before;
        ShowCPILevelSelection();
    }
}
