// A stand-in hook library for tests: the four entry points of the real one,
// plus two that deliver a scripted record to whatever callback is installed,
// so a test can set fields no real event carries (the injected flag).
// Built a second time without DisableMouseHook to check how the component
// treats a library that lacks an entry point.

#include "hook/kwHookApi.h"

#define FIXTURE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
KwHookProc g_keyboardProc = nullptr;
void *g_keyboardData = nullptr;
KwHookProc g_mouseProc = nullptr;
void *g_mouseData = nullptr;
} // namespace

FIXTURE_EXPORT void EnableKeyboardHook(KwHookProc proc, void *data, int32_t)
{
    g_keyboardProc = proc;
    g_keyboardData = data;
}

FIXTURE_EXPORT void DisableKeyboardHook()
{
    g_keyboardProc = nullptr;
    g_keyboardData = nullptr;
}

FIXTURE_EXPORT void EnableMouseHook(KwHookProc proc, void *data, int32_t)
{
    g_mouseProc = proc;
    g_mouseData = data;
}

#ifndef KWHOOK_FIXTURE_WITHOUT_DISABLE_MOUSE
FIXTURE_EXPORT void DisableMouseHook()
{
    g_mouseProc = nullptr;
    g_mouseData = nullptr;
}
#endif

// Returns the block flag; -1 when no hook is installed.
FIXTURE_EXPORT int ScriptKeyboardEvent(int32_t code, uintptr_t message, const KwKeyboardHookRecord *rec)
{
    if (!g_keyboardProc)
        return -1;
    bool block = false;
    g_keyboardProc(g_keyboardData, code, message, rec, &block);
    return block ? 1 : 0;
}

FIXTURE_EXPORT int ScriptMouseEvent(uintptr_t message, const KwMouseHookRecord *rec)
{
    if (!g_mouseProc)
        return -1;
    bool block = false;
    g_mouseProc(g_mouseData, 0, message, rec, &block);
    return block ? 1 : 0;
}
