#include "config/app/MainConfigLight.h"

#include "config/app/DeviceWriteGuard.h"
#include "config/app/LightColors.h"
#include "config/app/MainConfigHost.h"
#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwSkinKit.h"
#include "core/DMUnit.h"
#include "core/pubunit_device_commands.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QSignalBlocker>

using namespace hkt::skin;

namespace {
constexpr int kSquareX = 352;
constexpr int kSquareY = 52;
constexpr int kSquarePitch = 30;
constexpr int kSquareSize = 25;
constexpr int kRadioX = 604;

void Fill(QWidget *w, QRgb colour)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, QColor::fromRgba(colour));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

SkinLabel *Heading(QWidget *parent, int x, int y, const char *text)
{
    auto *l = Place<SkinLabel>(parent, x, y, 240, 20, QLatin1String(text));
    l->setFont(SkinFont(QStringLiteral("Tahoma"), 12, true));
    SetSkinStyle(l, QStringLiteral("wlabel"));
    return l;
}
} // namespace

// ---- the colour box -------------------------------------------------------------------

TLightColorBox::TLightColorBox(QWidget *AParent) : QWidget(AParent)
{
    setCursor(Qt::PointingHandCursor);
}

void TLightColorBox::setColor(QRgb AColor)
{
    const QRgb c = AColor | 0xFF000000u;
    if (c == FColor)
        return;
    FColor = c;
    update();
    emit colorChanged(c);
}

void TLightColorBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QColor::fromRgba(colour::Edge));
    p.setBrush(QColor::fromRgba(colour::Face));
    p.drawRoundedRect(r, 3, 3);
    const QRectF swatch(r.left() + 4, r.top() + 4, r.width() - 30, r.height() - 8);
    p.setBrush(QColor::fromRgba(FColor));
    p.drawRect(swatch);
    p.setPen(QColor::fromRgba(colour::Text));
    p.drawText(QRectF(swatch.right() + 2, r.top(), 24, r.height()), Qt::AlignCenter, QStringLiteral("\u25BE"));
}

void TLightColorBox::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
}

// ---- the page -----------------------------------------------------------------------------

TMainConfigLight::TMainConfigLight(TMainConfigHost &AHost, QWidget *AContainer)
    : QObject(AContainer), FHost(AHost), FContainer(AContainer)
{
    // The colour behind the lit badge of the mouse picture, then the picture.
    const QRect picture(56, 40, 240, 304); // the picture's 300 x 380 at 0.8
    const QRectF badge = MouseBadgeRect(QRectF(QPointF(0, 0), QSizeF(picture.size())));
    RectMouseColorLayoutBackColor = new QWidget(FContainer);
    RectMouseColorLayoutBackColor->setObjectName(QStringLiteral("RectMouseColorLayoutBackColor"));
    RectMouseColorLayoutBackColor->setGeometry(QRect(0, 0, 50, 50).translated(
        (picture.topLeft() + badge.center()).toPoint() - QPoint(25, 25)));
    ImageMouseLayoutColor = Place<SkinImage>(FContainer, picture.x(), picture.y(), picture.width(), picture.height());
    ImageMouseLayoutColor->setObjectName(QStringLiteral("ImageMouseLayoutColor"));
    ImageMouseLayoutColor->setFallback([](QPainter &p, const QRectF &r) { PaintMouseTop(p, r, true); });
    ImageMouseLayoutColor->setAttribute(Qt::WA_TransparentForMouseEvents);
    GlobalImageDataBase().AssignIMAGE(ImageMouseLayoutColor->pictureRef(), QStringLiteral("mouse-layout-Color.png"),
                                      QStringLiteral("background"));

    Heading(FContainer, kSquareX, 24, "LIGHT COLOR");
    for (int k = 0; k < LIGHT_SQUARE_COUNT; ++k) {
        const TLightSquare &s = LIGHT_PALETTE[size_t(k)];
        auto *sq = Place<QWidget>(FContainer, kSquareX + s.Column * kSquarePitch, kSquareY + s.Row * kSquarePitch,
                                  kSquareSize, kSquareSize);
        sq->setObjectName(QLatin1String(s.Name));
        sq->setProperty("Square", k);
        sq->setCursor(Qt::PointingHandCursor);
        Fill(sq, s.Color);
        sq->installEventFilter(this);
        Squares[size_t(k)] = sq;
    }

    Heading(FContainer, kSquareX, 214, "CUSTOM LIGHT COLOR");
    ComboColorSelect = new TLightColorBox(FContainer);
    ComboColorSelect->setObjectName(QStringLiteral("ComboColorSelect"));
    ComboColorSelect->setGeometry(kSquareX, 240, 205, 28);
    connect(ComboColorSelect, &TLightColorBox::colorChanged, this, [this] { ComboColorSelectChange(); });
    connect(ComboColorSelect, &TLightColorBox::clicked, this, [this] { ComboColorSelectDropDown(); });

    auto radios = [this](std::array<QRadioButton *, 4> &out, QButtonGroup *&group, int y, const char *heading,
                         const char *const names[4], const char *const captions[4]) {
        Heading(FContainer, kRadioX, y, heading);
        group = new QButtonGroup(this);
        for (int tag = 0; tag < 4; ++tag) {
            auto *r = Place<QRadioButton>(FContainer, kRadioX, y + 28 + tag * 28, 180, 22);
            r->setObjectName(QLatin1String(names[tag]));
            r->setText(QLatin1String(captions[tag]));
            r->setProperty("Tag", tag);
            r->setFont(SkinFont(QStringLiteral("Tahoma"), 11, true));
            SetSkinStyle(r, QStringLiteral("myradiocheckboxstyle"));
            group->addButton(r, tag);
            out[size_t(tag)] = r;
        }
    };
    const char *const levelNames[4] = {"RadioLevelOff", "RadioLevelLow", "RadioLevelMid", "RadioLevelHigh"};
    const char *const levelCaptions[4] = {"OFF", "LOW", "MEDIUM", "HIGH"};
    radios(RadioLevel, FLevelGroup, 24, "BRIGHTNESS LEVEL", levelNames, levelCaptions);
    const char *const speedNames[4] = {"RadioSPClose", "RadioSPLow", "RadioSPMid", "RadioSPHigh"};
    const char *const speedCaptions[4] = {"FULL BRIGHTNESS", "LOW SPEED", "MEDIUM SPEED", "HIGH SPEED"};
    radios(RadioSP, FSpeedGroup, 190, "BREATHING SPEED", speedNames, speedCaptions);
    for (int tag = 0; tag < 4; ++tag) {
        connect(RadioLevel[size_t(tag)], &QRadioButton::toggled, this,
                [this, tag](bool on) { RadioLevelCloseChange(tag, on); });
        connect(RadioSP[size_t(tag)], &QRadioButton::toggled, this,
                [this, tag](bool on) { RadioSPCloseChange(tag, on); });
    }
    ShowColour(ComboColorSelect->color());
}

bool TMainConfigLight::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AEvent->type() == QEvent::MouseButtonRelease) {
        auto *w = qobject_cast<QWidget *>(AWatched);
        const auto *me = static_cast<QMouseEvent *>(AEvent);
        if (w && me->button() == Qt::LeftButton && w->rect().contains(me->position().toPoint()))
            if (const QVariant k = w->property("Square"); k.isValid())
                Rectangle10Click(k.toInt());
    }
    return QObject::eventFilter(AWatched, AEvent);
}

void TMainConfigLight::ShowColour(QRgb AColour)
{
    FShownColour = AColour | 0xFF000000u;
    Fill(RectMouseColorLayoutBackColor, FShownColour);
}

void TMainConfigLight::PreviewLightColor(QRgb AColour)
{
    TDM &dm = FHost.DataModule();
    TLEDCONFIG &light = dm.FCurrentProfileInfo.ConfigInfo.LEDConfig;
    TLEDCONFIG &live = FHost.State().LiveLEDConfig;
    live = light;
    SetLightColor(live, AColour);
    TDeviceWriteGuard &device = FHost.DeviceWrites();
    // While another sequence writes the mouse, the preview waits for the next choice.
    device.Run([&] { SendLEDCommand(device.HID(), LivePreviewBlock(live)); });
    light = live;
    // The colour is kept as every other edit is: closing asks, SAVE AS and a
    // profile switch keep what the mouse shows.
    dm.SaveBackToCurrentProfileInfo();
    FHost.State().SettingsChanged = true;
}

void TMainConfigLight::Rectangle10Click(int ASquare)
{
    if (ASquare < 0 || ASquare >= LIGHT_SQUARE_COUNT)
        return;
    const QRgb c = LIGHT_PALETTE[size_t(ASquare)].Color;
    ShowColour(c);
    // The box's change event stays bound: a new colour previews from there too.
    ComboColorSelect->setColor(c);
    PreviewLightColor(c);
}

void TMainConfigLight::ComboColorSelectDropDown()
{
    // The colour is for the profile shown when the dialog opened: when the
    // profile changed while it was open, the answer is dropped, as every
    // dialog's answer is.
    const int profile = FHost.DataModule().FProfileIndex;
    // Qt's own dialog rather than the desktop's, as the file dialogs: in the
    // skin's colours, centred on the window, in the display language (Qt's
    // translations, which the language choice puts in force).
    QColorDialog dialog(QColor::fromRgba(ComboColorSelect->color()), ComboColorSelect);
    dialog.setOption(QColorDialog::DontUseNativeDialog, true);
    SkinStandardDialog(&dialog, FHost.MainWindow());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QColor chosen = dialog.selectedColor();
    if (chosen.isValid() && FHost.DataModule().FProfileIndex == profile)
        ComboColorSelect->setColor(chosen.rgb());
}

void TMainConfigLight::ComboColorSelectChange()
{
    const QRgb c = ComboColorSelect->color();
    SetLightColor(FHost.State().LiveLEDConfig, c);
    ShowColour(c);
    PreviewLightColor(c);
}

void TMainConfigLight::RadioLevelCloseChange(int ATag, bool AChecked)
{
    if (!AChecked || ATag < 0 || ATag > 3)
        return;
    TDM &dm = FHost.DataModule();
    FHost.State().LiveLEDConfig.BRIGHT_LEVEL = uint8_t(ATag);
    dm.FCurrentProfileInfo.ConfigInfo.LEDConfig.BRIGHT_LEVEL = uint8_t(ATag);
    dm.SaveBackToCurrentProfileInfo();
    FHost.State().SettingsChanged = true;
}

void TMainConfigLight::RadioSPCloseChange(int ATag, bool AChecked)
{
    if (!AChecked || ATag < 0 || ATag >= int(BREATH_SPEED_OF_TAG.size()))
        return;
    TDM &dm = FHost.DataModule();
    const uint8_t v = BREATH_SPEED_OF_TAG[size_t(ATag)];
    FHost.State().LiveLEDConfig.BREATH_SPEED = v;
    dm.FCurrentProfileInfo.ConfigInfo.LEDConfig.BREATH_SPEED = v;
    dm.SaveBackToCurrentProfileInfo();
    FHost.State().SettingsChanged = true;
}

void TMainConfigLight::kwCommandSetting1Commands5Execute()
{
    const TLEDCONFIG light = FHost.DataModule().FCurrentProfileInfo.ConfigInfo.LEDConfig;
    // A radio that becomes checked runs its handler; a value without a radio
    // leaves the group as it was and stays stored.
    if (const auto tag = BrightTagOfLevel(light.BRIGHT_LEVEL))
        RadioLevel[size_t(*tag)]->setChecked(true);
    if (const auto tag = BreathTagOfSpeed(light.BREATH_SPEED))
        RadioSP[size_t(*tag)]->setChecked(true);
    const QRgb c = LightColorOf(light);
    ShowColour(c);
    const QSignalBlocker block(ComboColorSelect);
    ComboColorSelect->setColor(c);
}
