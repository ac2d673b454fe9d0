#pragma once
// The DPI page: five levels with their buttons, LINK XY boxes, X and Y bars,
// value texts and level radios. The rules (which levels take part, turning
// levels on and off, LINK XY) are in DPILevels.h.
//
// Choosing a level radio writes the profile's DPI table into the mouse at
// once, through the window's device-write gate, and copies the choice back
// into the profile (marking it changed) so a profile switch or the monitor's
// reload never brings the old level back; SettingsChanged stays as it was.

#include <QObject>

#include <array>

class QButtonGroup;
class QCheckBox;
class QRadioButton;
class QWidget;
class TMainConfigHost;
namespace hkt::skin {
class SkinImage;
class SkinLabel;
class StateButton;
class TrackBar;
} // namespace hkt::skin

class TMainConfigDPI : public QObject {
    Q_OBJECT
public:
    // Builds the page's controls on AContainer (owned by the window).
    TMainConfigDPI(TMainConfigHost &AHost, QWidget *AContainer);

    // "SetCPI" refresh (command 1): the five levels and the level radios.
    void kwCommandSetting1Commands1Execute();
    // Checks the radio of the current profile's CurrentCPIIndex.
    void ShowCPILevelSelection();

    // ---- handlers (i: the level 0..4)
    void BtnCPI1MouseUp(int i);
    void CheckCPI1Change(int i, bool AChecked);
    void TrackCPI1XChange(int i, int AAxis, int AValue);
    void doSetDPIIndexchanged(int i, bool AChecked);

    void SetCPILevelControlsEnabled(int i, bool AOn);
    void ShowCPILevel(int i);

    struct TLevelControls {
        hkt::skin::StateButton *BtnCPI = nullptr;
        QCheckBox *CheckCPI = nullptr;
        hkt::skin::TrackBar *TrackX = nullptr;
        hkt::skin::TrackBar *TrackY = nullptr;
        hkt::skin::SkinLabel *TxtXNum = nullptr;
        hkt::skin::SkinLabel *TxtYNum = nullptr;
        hkt::skin::SkinLabel *TextX = nullptr;
        hkt::skin::SkinLabel *TextY = nullptr;
        hkt::skin::SkinImage *ImageX = nullptr;
        hkt::skin::SkinImage *ImageY = nullptr;
        QRadioButton *DPIL = nullptr;
    };
    std::array<TLevelControls, 5> Levels{};

private:
    void SetLevelStyle(int i, const QString &AStyle);

    TMainConfigHost &FHost;
    QWidget *FContainer;
    QButtonGroup *FRadioGroup = nullptr;
};
