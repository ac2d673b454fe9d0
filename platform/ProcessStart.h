#pragma once
// Starting the other program, or bringing it forward when it already runs.
// On Windows one program shows and raises the other's window directly; here a
// window of another process can only be asked to do so, with a private
// message over the window-message channel that the receiving main window
// answers with show-normal, raise and activate.

#include "platform/WindowMessages.h"

#include <QString>

#include <cstdint>

namespace hkt::platform {

// WM_APP + 1: "show your main window and come to the foreground". Outside the
// suite's own numbers (7035-7043, 7524).
inline constexpr std::uint32_t kActivateWindowMessage = 0x8001;

// Asks the window to show itself and come forward (ShowWindow(SW_SHOW) and
// SetForegroundWindow). False when the window is gone.
bool BringWindowForward(const WindowHandle &window);

// ShellExecuteW("open", exeName, working folder = programFolder): starts
// programFolder/exeName as an independent process. False when it could not be
// started (missing file, not executable).
bool StartProgram(const QString &programFolder, const QString &exeName);

enum class ShowOrStartResult { BroughtForward, Started, Failed };

// The window of className is asked to come forward when it runs; otherwise
// the program is started from programFolder.
ShowOrStartResult ShowOrStartProgram(const QString &className, const QString &programFolder,
                                     const QString &exeName, const QString &root = {});

} // namespace hkt::platform
