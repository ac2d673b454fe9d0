#pragma once
// The light page's data and rules without widgets: the 33 colour squares,
// the breathing-speed radios and the live preview block.

#include "core/pubunit_device_encoders.h"

#include <QRgb>

#include <array>
#include <optional>

// One colour square: its name in the window, where it sits (row 0 at the
// top, column from the left) and its fill.
struct TLightSquare {
    const char *Name;
    int Row;
    int Column;
    QRgb Color;
};
inline constexpr int LIGHT_SQUARE_COUNT = 33;
extern const std::array<TLightSquare, LIGHT_SQUARE_COUNT> LIGHT_PALETTE;

// Breathing radios by Tag 0..3 ("FULL BRIGHTNESS", "LOW SPEED", "MEDIUM SPEED",
// "HIGH SPEED") and the BREATH_SPEED each stands for.
inline constexpr std::array<uint8_t, 4> BREATH_SPEED_OF_TAG = {0, 6, 3, 1};
std::optional<int> BreathTagOfSpeed(int speed);
// Brightness radios: Tag = BRIGHT_LEVEL 0..3.
std::optional<int> BrightTagOfLevel(int level);

// The colour as the page shows it: opaque, with the light's R, G, B.
QRgb LightColorOf(const TLEDCONFIG &light);
// Sets R, G, B of the light from a colour (alpha ignored).
void SetLightColor(TLEDCONFIG &light, QRgb color);
// What the live light command carries for a light: the colour inverted,
// brightness and breathing speed (the sixth byte is not sent).
TDeviceLEDBlock LivePreviewBlock(const TLEDCONFIG &light);
