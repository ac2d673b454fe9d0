#include "config/app/MainConfigMouse.h"

#include "config/app/MainConfigHost.h"
#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwSkinKit.h"
#include "core/DMUnit.h"
#include "platform/SystemMouseSettings.h"

#include <QButtonGroup>
#include <QEasingCurve>
#include <QEvent>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVariantAnimation>

using namespace hkt::skin;

namespace {
constexpr int kBarX = 10;
constexpr int kBarWidth = 260;
constexpr int kShortBarWidth = 160;
constexpr int kTestAreaSize = 50;
constexpr int kTestSpinMs = 1200;
} // namespace

TMainConfigMouse::TMainConfigMouse(TMainConfigHost &AHost, QWidget *AContainer)
    : QObject(AContainer), FHost(AHost), FContainer(AContainer)
{
    TrackScrollSpeed = AddBar("SCROLL SPEED", 14, kBarWidth, 1, 10, 10);
    TrackPointSpeed = AddBar("POINTER SPEED", 72, kBarWidth, 1, 20, 20);
    TrackAccele = AddBar("ACCELERATION", 130, kBarWidth, 0, 3, 3);
    TrackMouseDBClick = AddBar("DOUBLE CLICK SPEED", 188, kShortBarWidth, 200, 900, 900);
    TrackScrollSpeed->setObjectName(QStringLiteral("TrackScrollSpeed"));
    TrackPointSpeed->setObjectName(QStringLiteral("TrackPointSpeed"));
    TrackAccele->setObjectName(QStringLiteral("TrackAccele"));
    TrackMouseDBClick->setObjectName(QStringLiteral("TrackMouseDBClick"));
    for (TrackBar *bar : {TrackScrollSpeed, TrackPointSpeed, TrackAccele, TrackMouseDBClick})
        connect(bar, &TrackBar::valueChanged, this, [this, bar] { TrackScrollSpeedChange(bar); });

    // The double-click test area beside the double-click bar.
    ListBoxMouseTest = Place<QScrollArea>(FContainer, kBarX + kShortBarWidth + 36, 188 + 4, kTestAreaSize,
                                          kTestAreaSize);
    ListBoxMouseTest->setObjectName(QStringLiteral("ListBoxMouseTest"));
    ListBoxMouseTest->setFrameShape(QFrame::NoFrame);
    ListBoxMouseTest->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBoxMouseTest->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBoxMouseTest->setAlignment(Qt::AlignCenter);
    ListBoxMouseTest->setStyleSheet(QStringLiteral("background: transparent;"));
    ImageTest = new SkinImage;
    ImageTest->setObjectName(QStringLiteral("ImageTest"));
    ImageTest->setMode(SkinImage::Mode::Center);
    ImageTest->resize(kTestAreaSize, kTestAreaSize);
    ListBoxMouseTest->setWidget(ImageTest);
    ListBoxMouseTest->viewport()->installEventFilter(this);
    ImageTest->installEventFilter(this);
    FloatAnimationTest = new QVariantAnimation(this);
    FloatAnimationTest->setStartValue(0.0);
    FloatAnimationTest->setEndValue(360.0);
    FloatAnimationTest->setDuration(kTestSpinMs);
    FloatAnimationTest->setEasingCurve(QEasingCurve::InOutBounce);
    connect(FloatAnimationTest, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &v) { ImageTest->setRotation(v.toReal()); });

    auto *rateLabel = Place<SkinLabel>(FContainer, kBarX, 266, 300, 18, QStringLiteral("POLLING RATE"));
    rateLabel->setFont(SkinFont(QStringLiteral("Tahoma"), 12, true));
    SetSkinStyle(rateLabel, QStringLiteral("wlabel"));
    FRadioGroup = new QButtonGroup(this);
    const char *captions[] = {"125HZ", "250HZ", "500HZ", "1000HZ"};
    const char *names[] = {"Radio125", "Radio250", "Radio500", "Radio1000"};
    QRadioButton **targets[] = {&Radio125, &Radio250, &Radio500, &Radio1000};
    for (int tag = 0; tag < 4; ++tag) {
        auto *r = Place<QRadioButton>(FContainer, kBarX + tag * 74, 292, 72, 20);
        r->setObjectName(QLatin1String(names[tag]));
        r->setProperty("Tag", tag);
        r->setProperty("kwSource", QLatin1String(captions[tag]));
        r->setText(TranslateText(QLatin1String(captions[tag])));
        r->setFont(SkinFont(QStringLiteral("Tahoma"), 11, true));
        SetSkinStyle(r, QStringLiteral("myradiocheckboxstyle"));
        FRadioGroup->addButton(r, tag);
        *targets[tag] = r;
        connect(r, &QRadioButton::toggled, this, [this, r](bool on) { Radio125Change(r, on); });
    }
    // The radios' captions follow the language as the kit's controls do.
    connect(&TranslationNotifier::Instance(), &TranslationNotifier::changed, this, [this] {
        for (QRadioButton *r : Radios())
            r->setText(TranslateText(r->property("kwSource").toString()));
    });
    // 250 Hz starts checked before any handler is bound, so no handler runs for it.
    const QSignalBlocker block(Radio250);
    Radio250->setChecked(true);
}

TrackBar *TMainConfigMouse::AddBar(const char *ACaption, int AY, int AWidth, int AMin, int AMax, int AValue)
{
    auto *label = Place<SkinLabel>(FContainer, kBarX, AY, 300, 18, QLatin1String(ACaption));
    label->setFont(SkinFont(QStringLiteral("Tahoma"), 12, true));
    SetSkinStyle(label, QStringLiteral("wlabel"));
    auto *bar = Place<TrackBar>(FContainer, kBarX, AY + 22, AWidth, 20, Qt::Horizontal);
    bar->setRange(AMin, AMax);
    // Set before any handler is bound: a bar's starting value is no change.
    bar->setValue(AValue);
    return bar;
}

void TMainConfigMouse::LoadSkin()
{
    auto &db = GlobalImageDataBase();
    for (TrackBar *bar : {TrackScrollSpeed, TrackPointSpeed, TrackAccele})
        db.AssignIMAGE(bar->backgroundRef(), QStringLiteral("Indicator-bar-back.png"), QStringLiteral("controls"));
    db.AssignIMAGE(TrackMouseDBClick->backgroundRef(), QStringLiteral("Indicator-bar-back-sm.png"),
                   QStringLiteral("controls"));
    db.AssignIMAGE(ImageTest->pictureRef(), QStringLiteral("DB-CLICK-TEST-AREA.png"), QStringLiteral("background"));
    for (TrackBar *bar : {TrackScrollSpeed, TrackPointSpeed, TrackAccele, TrackMouseDBClick})
        bar->update();
    if (!ImageTest->picture().isNull())
        ImageTest->resize(ImageTest->picture().size().expandedTo(QSize(kTestAreaSize, kTestAreaSize)));
}

void TMainConfigMouse::TrackScrollSpeedChange(QObject *Sender)
{
    TDM &dm = FHost.DataModule();
    TMainConfigState &state = FHost.State();
    auto &cfg = dm.FCurrentProfileInfo.ConfigInfo;
    if (Sender == TrackScrollSpeed) {
        cfg.VWheelSpeed = std::uint16_t(TrackScrollSpeed->value());
        state.SystemMouseSettings.WheelLines = TrackScrollSpeed->value();
    } else if (Sender == TrackPointSpeed) {
        cfg.PointerSpeed = std::uint16_t(TrackPointSpeed->value());
        state.SystemMouseSettings.PointerSpeed = TrackPointSpeed->value();
    } else if (Sender == TrackMouseDBClick) {
        const int t = TrackMouseDBClick->maximum() + TrackMouseDBClick->minimum() - TrackMouseDBClick->value();
        cfg.DoubleClickSpeed = std::uint16_t(t);
        FHost.DesktopMouse().SetDoubleClickTime(hkt::platform::ClampDoubleClickTime(t));
    } else if (Sender == TrackAccele) {
        cfg.PointerAcceleration = std::uint16_t(TrackAccele->value());
        state.SystemMouseSettings.Acceleration = TrackAccele->value();
    } else {
        return;
    }
    dm.SaveBackToCurrentProfileInfo();
    state.SettingsChanged = true;
}

void TMainConfigMouse::Radio125Change(QRadioButton *Sender, bool AChecked)
{
    // The radio that loses its check does nothing.
    if (!AChecked || !Sender)
        return;
    const int tag = Sender->property("Tag").toInt();
    if (tag < 0 || tag >= int(kPollingRates.size()))
        return;
    TDM &dm = FHost.DataModule();
    dm.FCurrentProfileInfo.ConfigInfo.ReportRate = std::uint16_t(kPollingRates[std::size_t(tag)]);
    FHost.State().ReportRateChanged = true;
    dm.SaveBackToCurrentProfileInfo();
    FHost.State().SettingsChanged = true;
}

void TMainConfigMouse::kwCommandSetting1Commands2Execute()
{
    // The bars' change events stay bound: each bar whose value changes runs
    // its handler (a stored value outside a bar's range is shown, and then
    // stored, clamped).
    const auto &cfg = FHost.DataModule().FCurrentProfileInfo.ConfigInfo;
    TrackScrollSpeed->setValue(cfg.VWheelSpeed);
    TrackPointSpeed->setValue(cfg.PointerSpeed);
    TrackAccele->setValue(cfg.PointerAcceleration);
    // The desktop never gets a time outside 200..900 ms.
    FHost.DesktopMouse().SetDoubleClickTime(hkt::platform::ClampDoubleClickTime(cfg.DoubleClickSpeed));
    TrackMouseDBClick->setValue(kDoubleClickBarSum - cfg.DoubleClickSpeed);
}

void TMainConfigMouse::kwCommandSetting1Commands4Execute()
{
    ShowReportRate();
}

void TMainConfigMouse::ShowReportRate()
{
    const int rate = FHost.DataModule().FCurrentProfileInfo.ConfigInfo.ReportRate;
    for (std::size_t tag = 0; tag < kPollingRates.size(); ++tag) {
        if (kPollingRates[tag] == rate) {
            // Checking runs Radio125Change when the radio was not checked.
            Radios()[tag]->setChecked(true);
            return;
        }
    }
    // Any other rate checks none; the rate stays as stored.
    FRadioGroup->setExclusive(false);
    for (QRadioButton *r : Radios()) {
        const QSignalBlocker block(r);
        r->setChecked(false);
    }
    FRadioGroup->setExclusive(true);
}

void TMainConfigMouse::ImageTestDblClick()
{
    FloatAnimationTest->stop();
    FloatAnimationTest->start();
}

void TMainConfigMouse::ListBoxMouseTestPaint()
{
    TMainConfigState &state = FHost.State();
    if (!state.CentreTestAreaPending)
        return;
    state.CentreTestAreaPending = false;
    auto *h = ListBoxMouseTest->horizontalScrollBar();
    auto *v = ListBoxMouseTest->verticalScrollBar();
    h->setValue((h->minimum() + h->maximum()) / 2);
    v->setValue((v->minimum() + v->maximum()) / 2);
}

bool TMainConfigMouse::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AWatched == ImageTest && AEvent->type() == QEvent::MouseButtonDblClick)
        ImageTestDblClick();
    else if (AWatched == ListBoxMouseTest->viewport() && AEvent->type() == QEvent::Paint)
        ListBoxMouseTestPaint();
    return QObject::eventFilter(AWatched, AEvent);
}
