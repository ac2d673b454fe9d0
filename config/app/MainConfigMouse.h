#pragma once
// The GENERAL page's polling rate and the desktop's mouse settings: the
// SCROLL SPEED, POINTER SPEED, ACCELERATION and DOUBLE CLICK SPEED bars, the
// four POLLING RATE radios and the double-click test area.
//
// The bars and radios edit the current profile (copied back, marked
// changed, SettingsChanged set); pointer speed, acceleration and wheel lines
// reach the desktop with APPLY through SystemMouseSettings, the double-click
// time at once. Refreshes run the same change handlers whenever a shown
// value changes.

#include <QObject>

#include <array>

class QButtonGroup;
class QRadioButton;
class QScrollArea;
class QVariantAnimation;
class QWidget;
class TMainConfigHost;
namespace hkt::skin {
class SkinImage;
class SkinLabel;
class TrackBar;
} // namespace hkt::skin

class TMainConfigMouse : public QObject {
    Q_OBJECT
public:
    TMainConfigMouse(TMainConfigHost &AHost, QWidget *AContainer);

    // The bars' pictures and the test picture through the skin cache.
    void LoadSkin();

    // "SetMouseParam" refresh (command 2).
    void kwCommandSetting1Commands2Execute();
    // "SetReport" refresh (command 4).
    void kwCommandSetting1Commands4Execute();
    // Checks the radio of the current profile's ReportRate (none for a rate
    // other than the four).
    void ShowReportRate();

    // The change handlers of the four bars and of the four radios.
    void TrackScrollSpeedChange(QObject *Sender);
    void Radio125Change(QRadioButton *Sender, bool AChecked);

    // The double-click test area.
    void ImageTestDblClick();
    void ListBoxMouseTestPaint();

    hkt::skin::TrackBar *TrackScrollSpeed = nullptr; // 1..10, wheel lines
    hkt::skin::TrackBar *TrackPointSpeed = nullptr;  // 1..20
    hkt::skin::TrackBar *TrackAccele = nullptr;      // 0..3
    hkt::skin::TrackBar *TrackMouseDBClick = nullptr; // 200..900, shown reversed
    QRadioButton *Radio125 = nullptr;
    QRadioButton *Radio250 = nullptr;
    QRadioButton *Radio500 = nullptr;
    QRadioButton *Radio1000 = nullptr;
    QScrollArea *ListBoxMouseTest = nullptr;
    hkt::skin::SkinImage *ImageTest = nullptr;
    QVariantAnimation *FloatAnimationTest = nullptr;

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    hkt::skin::TrackBar *AddBar(const char *ACaption, int AY, int AWidth, int AMin, int AMax, int AValue);
    std::array<QRadioButton *, 4> Radios() const { return {Radio125, Radio250, Radio500, Radio1000}; }

    TMainConfigHost &FHost;
    QWidget *FContainer;
    QButtonGroup *FRadioGroup = nullptr;
};

// Rates of the four radios, by Tag.
inline constexpr std::array<int, 4> kPollingRates = {125, 250, 500, 1000};
// The double-click bar stands for 1100 - value milliseconds.
inline constexpr int kDoubleClickBarSum = 1100;
