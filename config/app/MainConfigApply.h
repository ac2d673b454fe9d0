#pragma once
// APPLY (ApplySettings): stores every profile and the profile-group record on
// the PC, saves the macro database, hands the desktop mouse settings to a
// one-shot worker, then writes every changed profile, the macro area and the
// active profile into the mouse inside its write bracket, refreshes it and
// tells the monitor. Display-free: the window supplies the dialogs and the
// progress display as callbacks, so tests drive the whole sequence without
// widgets.
//
// What it does beyond the plain order of writes:
//  - a PC store that fails is never reported as success: SettingsChanged
//    stays set (so closing still asks), a "WARNING" dialog says so before
//    the mouse is written, and the result is not Written;
//  - a failed write is never reported as success: the bracket is still
//    closed (write state 1, refresh, the monitor told), a profile whose
//    writes failed keeps its changed mark, a "WARNING" dialog says so and
//    the result is false;
//  - a failed or foreign read-back keeps the stored DPI level: a level is
//    taken only when the mouse's active profile is the window's current one;
//  - each profile's DPI level and polling rate are read from the mouse just
//    before they are written (every profile's is read, written or not): a
//    value the user did not edit in the window since follows the mouse
//    (TDM's record of what the mouse holds), so a change made on the mouse
//    while nothing listened is never written over; a profile whose read
//    fails is not given its level and rate and stays owed, and the run
//    reports the failure;
//  - the macro area holds the macros the macro buttons of the five profiles
//    name (set and macro, as the database holds them now), whichever set
//    each came from, not only the current set's: every button plays the
//    macro it shows. Buttons of one set are sent with their positions as
//    slots, as always; a macro whose position another set's macro took
//    first gets a free slot. A button whose macro is gone (or left without
//    a slot) is sent as a disabled button;
//  - which profiles the mouse is owed is kept in the store from before the
//    first write until the run ends, so the next APPLY after a run that
//    never ended (the program killed, the mouse unplugged) writes them all
//    and closes the bracket; an uninterrupted run sends what it always sent;
//  - the whole run is one device sequence of the window's write gate: it is
//    refused while another sequence runs, and nothing interleaves with it.

#include "config/app/MainConfigState.h"
#include "core/pubunit_device_encoders.h"

#include <QString>

#include <functional>

class TDM;
class TDeviceWriteGuard;
class TkwMacroSetClass;
namespace hkt::platform {
class SystemMouseSettings;
}

inline constexpr char kApplyNoMouseText[] = "PLEASE CONNECT YOUR MOUSE DEVICE BEFORE APPLY NEW SETTINGS!";
inline constexpr char kApplyFailedText[] = "FAILED TO WRITE THE SETTINGS INTO THE MOUSE, PLEASE TRY AGAIN!";
inline constexpr char kApplyStoreFailedText[] = "FAILED TO SAVE THE SETTINGS ON THIS COMPUTER, PLEASE TRY AGAIN!";

struct TApplyContext {
    TDM &DM;
    TkwMacroSetClass &MacroSet;
    TMainConfigState &State;
    TDeviceWriteGuard &Device;
    hkt::platform::SystemMouseSettings &DesktopMouse;
    // ShowDialog with a title and a text (source texts; the window translates).
    std::function<int(const QString &ATitle, const QString &AText)> ShowMessage;
    // Step 7: the progress display starts (its step from ReportRateChanged).
    std::function<void()> StartProgress;
    // The run took a level or rate from the mouse into the current profile:
    // the pages show the profile's current level and rate again (marking
    // nothing unsaved: the mouse holds them).
    std::function<void()> ShowLevelAndRate;
    // False when the macro folder could not be made (the user was told at
    // start-up): the database then lives in memory and is not saved.
    bool SaveMacroDatabase = true;
};

enum class TApplyOutcome {
    Written,     // the mouse holds the settings
    MouseAbsent, // stored on the PC only; the dialog was shown
    WriteFailed, // a device transfer failed; the dialog was shown
    StoreFailed, // the mouse holds the settings, but a store on the PC failed;
                 // SettingsChanged stays set and the dialog was shown
    Refused,     // another device sequence runs: nothing was done
};

// ApplySettings: true only for Written.
TApplyOutcome ApplySettings(TApplyContext &AContext);

// The worker's callback: acceleration (skipped outside 0..3), pointer speed
// and wheel lines, in that order.
void ApplySystemMouseSettings(hkt::platform::SystemMouseSettings &ADesktop, const TSystemMouseSettings &ASettings);

// The images of one profile as APPLY writes them (EncodeProfileDeviceImages).
// Macro buttons take their macro from the list the area was encoded from
// (slot nMacroIndex); a slot the area does not hold makes the button a
// disabled one.
void BuildProfileDeviceImages(const TMouseProfileInfo &AProfile, const TMACROKEYINFOLIST &AMacros,
                              const TDeviceMacroArea &AArea, TProfileDeviceImages &AImages);
