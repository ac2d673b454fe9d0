#pragma once
// The LIGHT page: colour squares, colour box, brightness and breathing radios
// and the live colour preview.
//
// A colour choice is previewed on the mouse at once (through the window's
// device-write gate) and, unlike brightness and breathing, is also copied
// back into the profile and sets SettingsChanged: closing then asks, and
// SAVE AS and a profile switch keep the colour the mouse shows.

#include <QObject>
#include <QRgb>
#include <QWidget>

#include <array>

class QButtonGroup;
class QRadioButton;
class TMainConfigHost;
namespace hkt::skin {
class SkinImage;
} // namespace hkt::skin

// The colour box: a swatch whose click asks for the platform's colour dialog
// (no alpha). Setting its colour reports a change only when the colour
// differs.
class TLightColorBox;

class TMainConfigLight : public QObject {
    Q_OBJECT
public:
    // Builds the page's controls on AContainer (owned by the window).
    TMainConfigLight(TMainConfigHost &AHost, QWidget *AContainer);

    // "SetLED" refresh (command 5).
    void kwCommandSetting1Commands5Execute();

    // ---- handlers
    void Rectangle10Click(int ASquare);
    // The colour box's dialog; its choice runs ComboColorSelectChange.
    void ComboColorSelectDropDown();
    void ComboColorSelectChange();
    void RadioLevelCloseChange(int ATag, bool AChecked);
    void RadioSPCloseChange(int ATag, bool AChecked);
    void PreviewLightColor(QRgb AColour);

    // ---- controls
    hkt::skin::SkinImage *ImageMouseLayoutColor = nullptr;
    QWidget *RectMouseColorLayoutBackColor = nullptr;
    std::array<QWidget *, 33> Squares{}; // in palette order (LIGHT_PALETTE)
    TLightColorBox *ComboColorSelect = nullptr;
    std::array<QRadioButton *, 4> RadioLevel{}; // OFF, LOW, MEDIUM, HIGH
    std::array<QRadioButton *, 4> RadioSP{};    // FULL BRIGHTNESS, LOW, MEDIUM, HIGH SPEED

    QRgb ShownColour() const { return FShownColour; }

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    void ShowColour(QRgb AColour);

    TMainConfigHost &FHost;
    QWidget *FContainer;
    QButtonGroup *FLevelGroup = nullptr;
    QButtonGroup *FSpeedGroup = nullptr;
    QRgb FShownColour = 0xFFFFFFFF;
};

class TLightColorBox : public QWidget {
    Q_OBJECT
public:
    explicit TLightColorBox(QWidget *AParent = nullptr);
    QRgb color() const { return FColor; }
    // Emits colorChanged when the colour differs (alpha is always opaque).
    void setColor(QRgb AColor);

signals:
    void colorChanged(QRgb AColor);
    void clicked();

protected:
    void paintEvent(QPaintEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;

private:
    QRgb FColor = 0xFFFFFFFF;
};
