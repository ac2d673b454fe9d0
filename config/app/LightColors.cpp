#include "config/app/LightColors.h"

const std::array<TLightSquare, LIGHT_SQUARE_COUNT> LIGHT_PALETTE = {{
    {"Rectangle36", 0, 0, 0xFFB90001}, {"Rectangle37", 0, 1, 0xFFFE0000}, {"Rectangle38", 0, 2, 0xFFFF4700},
    {"Rectangle39", 0, 3, 0xFEFF6B01}, {"Rectangle40", 0, 4, 0xFFFF9D45}, {"Rectangle41", 0, 5, 0xFFFFBA58},
    {"Rectangle42", 0, 6, 0xFFF8E801},
    {"Rectangle29", 1, 0, 0xFFF6FF4E}, {"Rectangle30", 1, 1, 0xFFC9FF4F}, {"Rectangle31", 1, 2, 0xFFA6FF4F},
    {"Rectangle32", 1, 3, 0xFF84FF4E}, {"Rectangle33", 1, 4, 0xFF00FF01}, {"Rectangle34", 1, 5, 0xFF02B534},
    {"Rectangle35", 1, 6, 0xFF00A536},
    {"Rectangle22", 2, 0, 0xFF00CF7B}, {"Rectangle23", 2, 1, 0xFF00D09E}, {"Rectangle24", 2, 2, 0xFF00CBCF},
    {"Rectangle25", 2, 3, 0xFF6BE1E3}, {"Rectangle26", 2, 4, 0xFF29C5FE}, {"Rectangle27", 2, 5, 0xFF26A2EA},
    {"Rectangle28", 2, 6, 0xFF649EF0},
    {"Rectangle15", 3, 0, 0xFF2484EA}, {"Rectangle16", 3, 1, 0xFF0048FE}, {"Rectangle17", 3, 2, 0xFF0E0FFF},
    {"Rectangle18", 3, 3, 0xFF0F0FBD}, {"Rectangle19", 3, 4, 0xFF5907FF}, {"Rectangle20", 3, 5, 0xFF790CFF},
    {"Rectangle21", 3, 6, 0xFFA10CFE},
    {"Rectangle10", 4, 0, 0xFFAA6CE7}, {"Rectangle11", 4, 1, 0xFFB30AD7}, {"Rectangle12", 4, 2, 0xFFC90BFF},
    {"Rectangle13", 4, 3, 0xFFCE0ADA}, {"Rectangle14", 4, 4, 0xFFD90A7E},
}};

std::optional<int> BreathTagOfSpeed(int speed)
{
    for (int tag = 0; tag < int(BREATH_SPEED_OF_TAG.size()); ++tag)
        if (BREATH_SPEED_OF_TAG[size_t(tag)] == speed)
            return tag;
    return std::nullopt;
}

std::optional<int> BrightTagOfLevel(int level)
{
    if (level < 0 || level > 3)
        return std::nullopt;
    return level;
}

QRgb LightColorOf(const TLEDCONFIG &light) { return qRgba(light.R, light.G, light.B, 255); }

void SetLightColor(TLEDCONFIG &light, QRgb color)
{
    light.R = uint8_t(qRed(color));
    light.G = uint8_t(qGreen(color));
    light.B = uint8_t(qBlue(color));
}

TDeviceLEDBlock LivePreviewBlock(const TLEDCONFIG &light)
{
    TDeviceLEDBlock block{};
    EncodeLEDBlock(light, block);
    return block;
}
