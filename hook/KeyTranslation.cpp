#include "hook/KeyTranslation.h"

#include <QKeyEvent>

#include <array>

namespace kwhook {

namespace {

struct PhysicalKey {
    uint16_t evdev;
    uint8_t vk;
    uint8_t scan;
    bool extended;
};

// Linux evdev key codes (the xkb key code less 8 on xcb and Wayland) to the
// key a Windows keyboard hook reports for the same physical key on a US layout.
constexpr PhysicalKey kPhysicalKeys[] = {
    {1, 0x1B, 0x01, false},   {2, 0x31, 0x02, false},   {3, 0x32, 0x03, false},   {4, 0x33, 0x04, false},
    {5, 0x34, 0x05, false},   {6, 0x35, 0x06, false},   {7, 0x36, 0x07, false},   {8, 0x37, 0x08, false},
    {9, 0x38, 0x09, false},   {10, 0x39, 0x0A, false},  {11, 0x30, 0x0B, false},  {12, 0xBD, 0x0C, false},
    {13, 0xBB, 0x0D, false},  {14, 0x08, 0x0E, false},  {15, 0x09, 0x0F, false},  {16, 0x51, 0x10, false},
    {17, 0x57, 0x11, false},  {18, 0x45, 0x12, false},  {19, 0x52, 0x13, false},  {20, 0x54, 0x14, false},
    {21, 0x59, 0x15, false},  {22, 0x55, 0x16, false},  {23, 0x49, 0x17, false},  {24, 0x4F, 0x18, false},
    {25, 0x50, 0x19, false},  {26, 0xDB, 0x1A, false},  {27, 0xDD, 0x1B, false},  {28, 0x0D, 0x1C, false},
    {29, 0xA2, 0x1D, false},  {30, 0x41, 0x1E, false},  {31, 0x53, 0x1F, false},  {32, 0x44, 0x20, false},
    {33, 0x46, 0x21, false},  {34, 0x47, 0x22, false},  {35, 0x48, 0x23, false},  {36, 0x4A, 0x24, false},
    {37, 0x4B, 0x25, false},  {38, 0x4C, 0x26, false},  {39, 0xBA, 0x27, false},  {40, 0xDE, 0x28, false},
    {41, 0xC0, 0x29, false},  {42, 0xA0, 0x2A, false},  {43, 0xDC, 0x2B, false},  {44, 0x5A, 0x2C, false},
    {45, 0x58, 0x2D, false},  {46, 0x43, 0x2E, false},  {47, 0x56, 0x2F, false},  {48, 0x42, 0x30, false},
    {49, 0x4E, 0x31, false},  {50, 0x4D, 0x32, false},  {51, 0xBC, 0x33, false},  {52, 0xBE, 0x34, false},
    {53, 0xBF, 0x35, false},  {54, 0xA1, 0x36, false},  {55, 0x6A, 0x37, false},  {56, 0xA4, 0x38, false},
    {57, 0x20, 0x39, false},  {58, 0x14, 0x3A, false},  {59, 0x70, 0x3B, false},  {60, 0x71, 0x3C, false},
    {61, 0x72, 0x3D, false},  {62, 0x73, 0x3E, false},  {63, 0x74, 0x3F, false},  {64, 0x75, 0x40, false},
    {65, 0x76, 0x41, false},  {66, 0x77, 0x42, false},  {67, 0x78, 0x43, false},  {68, 0x79, 0x44, false},
    {69, 0x90, 0x45, true},   {70, 0x91, 0x46, false},  {71, 0x67, 0x47, false},  {72, 0x68, 0x48, false},
    {73, 0x69, 0x49, false},  {74, 0x6D, 0x4A, false},  {75, 0x64, 0x4B, false},  {76, 0x65, 0x4C, false},
    {77, 0x66, 0x4D, false},  {78, 0x6B, 0x4E, false},  {79, 0x61, 0x4F, false},  {80, 0x62, 0x50, false},
    {81, 0x63, 0x51, false},  {82, 0x60, 0x52, false},  {83, 0x6E, 0x53, false},  {86, 0xE2, 0x56, false},
    {87, 0x7A, 0x57, false},  {88, 0x7B, 0x58, false},  {96, 0x0D, 0x1C, true},   {97, 0xA3, 0x1D, true},
    {98, 0x6F, 0x35, true},   {99, 0x2C, 0x37, true},   {100, 0xA5, 0x38, true},  {102, 0x24, 0x47, true},
    {103, 0x26, 0x48, true},  {104, 0x21, 0x49, true},  {105, 0x25, 0x4B, true},  {106, 0x27, 0x4D, true},
    {107, 0x23, 0x4F, true},  {108, 0x28, 0x50, true},  {109, 0x22, 0x51, true},  {110, 0x2D, 0x52, true},
    {111, 0x2E, 0x53, true},  {113, 0xAD, 0x20, true},  {114, 0xAE, 0x2E, true},  {115, 0xAF, 0x30, true},
    {119, 0x13, 0x45, false}, {125, 0x5B, 0x5B, true},  {126, 0x5C, 0x5C, true},  {127, 0x5D, 0x5D, true},
    {155, 0xB4, 0x6C, true},  {158, 0xA6, 0x6A, true},  {159, 0xA7, 0x69, true},  {163, 0xB0, 0x19, true},
    {164, 0xB3, 0x22, true},  {165, 0xB1, 0x10, true},  {166, 0xB2, 0x24, true},  {172, 0xAC, 0x32, true},
    {183, 0x7C, 0x64, false}, {184, 0x7D, 0x65, false}, {185, 0x7E, 0x66, false}, {186, 0x7F, 0x67, false},
    {187, 0x80, 0x68, false}, {188, 0x81, 0x69, false}, {189, 0x82, 0x6A, false}, {190, 0x83, 0x6B, false},
    {191, 0x84, 0x6C, false}, {192, 0x85, 0x6D, false}, {193, 0x86, 0x6E, false}, {194, 0x87, 0x76, false},
    {217, 0xAA, 0x65, true},
};

const PhysicalKey *FindByEvdev(uint32_t evdev)
{
    for (const auto &k : kPhysicalKeys)
        if (k.evdev == evdev)
            return &k;
    return nullptr;
}

const PhysicalKey *FindByVk(uint32_t vk, bool extended)
{
    for (const auto &k : kPhysicalKeys)
        if (k.vk == vk && k.extended == extended)
            return &k;
    return nullptr;
}

struct LogicalKey {
    int qtKey;
    uint8_t vk;
    bool extended;
};

// Used when the platform gives no physical key code (offscreen, some Wayland
// compositors, synthetic events). Left and right modifiers can't be told apart
// here, so the left ones stand for both.
constexpr LogicalKey kLogicalKeys[] = {
    {Qt::Key_Escape, 0x1B, false},    {Qt::Key_Tab, 0x09, false},        {Qt::Key_Backtab, 0x09, false},
    {Qt::Key_Backspace, 0x08, false}, {Qt::Key_Return, 0x0D, false},     {Qt::Key_Enter, 0x0D, true},
    {Qt::Key_Insert, 0x2D, true},     {Qt::Key_Delete, 0x2E, true},      {Qt::Key_Pause, 0x13, false},
    {Qt::Key_Print, 0x2C, true},      {Qt::Key_Home, 0x24, true},        {Qt::Key_End, 0x23, true},
    {Qt::Key_Left, 0x25, true},       {Qt::Key_Up, 0x26, true},          {Qt::Key_Right, 0x27, true},
    {Qt::Key_Down, 0x28, true},       {Qt::Key_PageUp, 0x21, true},      {Qt::Key_PageDown, 0x22, true},
    {Qt::Key_Shift, 0xA0, false},     {Qt::Key_Control, 0xA2, false},    {Qt::Key_Meta, 0x5B, true},
    {Qt::Key_Alt, 0xA4, false},       {Qt::Key_AltGr, 0xA5, true},       {Qt::Key_CapsLock, 0x14, false},
    {Qt::Key_NumLock, 0x90, true},    {Qt::Key_ScrollLock, 0x91, false}, {Qt::Key_Super_L, 0x5B, true},
    {Qt::Key_Super_R, 0x5C, true},    {Qt::Key_Menu, 0x5D, true},        {Qt::Key_Space, 0x20, false},
    {Qt::Key_Minus, 0xBD, false},     {Qt::Key_Equal, 0xBB, false},      {Qt::Key_BracketLeft, 0xDB, false},
    {Qt::Key_BracketRight, 0xDD, false}, {Qt::Key_Semicolon, 0xBA, false}, {Qt::Key_Apostrophe, 0xDE, false},
    {Qt::Key_QuoteLeft, 0xC0, false}, {Qt::Key_Backslash, 0xDC, false},  {Qt::Key_Comma, 0xBC, false},
    {Qt::Key_Period, 0xBE, false},    {Qt::Key_Slash, 0xBF, false},      {Qt::Key_VolumeMute, 0xAD, true},
    {Qt::Key_VolumeDown, 0xAE, true}, {Qt::Key_VolumeUp, 0xAF, true},    {Qt::Key_MediaNext, 0xB0, true},
    {Qt::Key_MediaPrevious, 0xB1, true}, {Qt::Key_MediaStop, 0xB2, true}, {Qt::Key_MediaPlay, 0xB3, true},
    {Qt::Key_MediaTogglePlayPause, 0xB3, true},
};

struct KeypadKey {
    int qtKey;
    uint8_t vk;
    bool extended;
};

constexpr KeypadKey kKeypadKeys[] = {
    {Qt::Key_Asterisk, 0x6A, false}, {Qt::Key_Plus, 0x6B, false},  {Qt::Key_Minus, 0x6D, false},
    {Qt::Key_Period, 0x6E, false},   {Qt::Key_Comma, 0x6E, false}, {Qt::Key_Slash, 0x6F, true},
    {Qt::Key_Enter, 0x0D, true},
};

// The keypad's digit keys with NumLock off act as navigation keys; Windows
// reports them with the navigation codes but without the extended flag.
uint8_t KeypadNavigationVk(uint32_t evdev)
{
    switch (evdev) {
    case 71: return 0x24; // Home
    case 72: return 0x26; // Up
    case 73: return 0x21; // Page Up
    case 75: return 0x25; // Left
    case 76: return 0x0C; // Clear
    case 77: return 0x27; // Right
    case 79: return 0x23; // End
    case 80: return 0x28; // Down
    case 81: return 0x22; // Page Down
    case 82: return 0x2D; // Insert
    case 83: return 0x2E; // Delete
    default: return 0;
    }
}

bool IsDigitOrDecimal(int qtKey)
{
    return (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || qtKey == Qt::Key_Period || qtKey == Qt::Key_Comma;
}

WindowsKey FromLogical(const QKeyEvent &event)
{
    const int key = event.key();
    WindowsKey out;
    if (event.modifiers() & Qt::KeypadModifier) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) {
            out.vk = 0x60 + static_cast<uint32_t>(key - Qt::Key_0);
        } else {
            for (const auto &k : kKeypadKeys)
                if (k.qtKey == key) {
                    out.vk = k.vk;
                    out.extended = k.extended;
                }
        }
    }
    if (out.vk == 0) {
        if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
            out.vk = static_cast<uint32_t>(key);
        } else if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
            out.vk = 0x70 + static_cast<uint32_t>(key - Qt::Key_F1);
        } else {
            for (const auto &k : kLogicalKeys)
                if (k.qtKey == key) {
                    out.vk = k.vk;
                    out.extended = k.extended;
                    break;
                }
        }
    }
    if (const PhysicalKey *p = FindByVk(out.vk, out.extended))
        out.scan = p->scan;
    return out;
}

} // namespace

WindowsKey TranslateKey(const QKeyEvent &event)
{
    // xcb and Wayland report xkb key codes, which are evdev codes plus 8.
    const quint32 native = event.nativeScanCode();
    if (native > 8) {
        const uint32_t evdev = native - 8;
        if (const PhysicalKey *p = FindByEvdev(evdev)) {
            WindowsKey out{p->vk, p->scan, p->extended};
            const int key = event.key();
            // Letters follow the layout, as Windows' virtual keys do.
            if (key >= Qt::Key_A && key <= Qt::Key_Z && p->vk >= 0x41 && p->vk <= 0x5A)
                out.vk = static_cast<uint32_t>(key);
            if (const uint8_t nav = KeypadNavigationVk(evdev); nav != 0 && !IsDigitOrDecimal(key))
                out.vk = nav;
            return out;
        }
    }
    return FromLogical(event);
}

uint32_t ModifierBits(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers m = event.modifiers();
    uint32_t bits = 0;
    if (m & Qt::AltModifier)
        bits |= 1;
    if (m & Qt::ControlModifier)
        bits |= 2;
    if (m & Qt::ShiftModifier)
        bits |= 4;
    if (m & Qt::MetaModifier)
        bits |= 8;
    return bits;
}

} // namespace kwhook
