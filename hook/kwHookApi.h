#pragma once
// The contract between the hook component (core/kwHook) and the hook library
// (libkwHook.so). Both are built together from this header; the component
// finds the four entry points with dlsym by the names below.
//
// The records are shaped like the Windows low-level hook records the suite was
// written against, so the component's logic reads the same fields: virtual-key
// code, set-1 scan code, flags (bit 0 extended, bit 4 injected, bit 7 key up)
// and a 32-bit millisecond time stamp that wraps.

#include <cstdint>

extern "C" {

struct KwKeyboardHookRecord {
    uint32_t vkCode;
    uint32_t scanCode;
    uint32_t flags;
    uint32_t time;
    // Modifier keys held when the event happened (Alt 1, Ctrl 2, Shift 4,
    // Win 8). The combination recorder reads it where a Windows hook asks
    // the system for the asynchronous key state.
    uint32_t modifiers;
};

struct KwMouseHookRecord {
    int32_t x;
    int32_t y;
    // High word: the X button (1 back, 2 forward) or the signed wheel delta.
    uint32_t mouseData;
    uint32_t flags;
    uint32_t time;
};

// Called on the thread that enabled the hook (the GUI thread), once per event.
// `block` is false on entry; setting it swallows the event.
typedef void (*KwHookProc)(void *data, int32_t code, uintptr_t message, const void *record, bool *block);
typedef void (*KwEnableHookFn)(KwHookProc proc, void *data, int32_t reserved);
typedef void (*KwDisableHookFn)(void);

} // extern "C"

namespace kwhook {

inline constexpr uint32_t kFlagExtended = 0x01;
inline constexpr uint32_t kFlagInjected = 0x10; // keyboard; the mouse uses bit 0
inline constexpr uint32_t kFlagUp = 0x80;
inline constexpr uint32_t kMouseFlagInjected = 0x01;

inline constexpr uint32_t kModAlt = 1;
inline constexpr uint32_t kModCtrl = 2;
inline constexpr uint32_t kModShift = 4;
inline constexpr uint32_t kModWin = 8;

inline constexpr uintptr_t kWmKeyDown = 0x100;
inline constexpr uintptr_t kWmKeyUp = 0x101;
inline constexpr uintptr_t kWmSysKeyDown = 0x104;
inline constexpr uintptr_t kWmSysKeyUp = 0x105;

inline constexpr uintptr_t kWmMouseMove = 0x200;
inline constexpr uintptr_t kWmLButtonDown = 0x201;
inline constexpr uintptr_t kWmLButtonUp = 0x202;
inline constexpr uintptr_t kWmRButtonDown = 0x204;
inline constexpr uintptr_t kWmRButtonUp = 0x205;
inline constexpr uintptr_t kWmMButtonDown = 0x207;
inline constexpr uintptr_t kWmMButtonUp = 0x208;
inline constexpr uintptr_t kWmMouseWheel = 0x20A;
inline constexpr uintptr_t kWmXButtonDown = 0x20B;
inline constexpr uintptr_t kWmXButtonUp = 0x20C;
inline constexpr uintptr_t kWmMouseHWheel = 0x20E;

inline constexpr const char *kEnableKeyboardHook = "EnableKeyboardHook";
inline constexpr const char *kDisableKeyboardHook = "DisableKeyboardHook";
inline constexpr const char *kEnableMouseHook = "EnableMouseHook";
inline constexpr const char *kDisableMouseHook = "DisableMouseHook";

} // namespace kwhook
