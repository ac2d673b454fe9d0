#pragma once
// Turns a Qt key event into the Windows key identity the suite stores:
// virtual-key code, set-1 scan code and the extended-key flag.

#include <cstdint>

class QKeyEvent;

namespace kwhook {

struct WindowsKey {
    uint32_t vk = 0;
    uint32_t scan = 0;
    bool extended = false;
};

// 0 in vk when the key has no Windows counterpart.
WindowsKey TranslateKey(const QKeyEvent &event);

// Modifier bits (Alt 1, Ctrl 2, Shift 4, Win 8) from the event's modifier state.
uint32_t ModifierBits(const QKeyEvent &event);

} // namespace kwhook
