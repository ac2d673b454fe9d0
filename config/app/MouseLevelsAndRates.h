#pragma once
// The DPI level and polling rate of each of the mouse's five profiles, as the
// mouse holds them. The mouse changes them by itself (its DPI and rate
// buttons) whether or not a program listens: the monitor may be down, the
// mouse may be plugged in after the window started, a read may fail. So the
// window reads them whenever it could have missed a change (its start, the
// mouse's arrival, the monitor's reopening of its readers, a failed read) and
// APPLY reads each profile's just before writing it, and a value the user
// did not edit in the window since follows the mouse (TDM's record of what
// the mouse holds decides which).

#include "core/kwHIDData.h"
#include "core/pubunit_device_records.h"

#include <array>

class TDM;

struct TMouseLevelsAndRates {
    std::array<int, PROFILE_COUNT> Level{-1, -1, -1, -1, -1}; // -1: not read
    std::array<int, PROFILE_COUNT> Rate{};                    // Hz; 0: not read
    bool Complete() const;
};

// One profile's level and rate, read back to back. 0, or the first failing
// read's code (then neither is set); a rate byte that is no rate code of the
// mouse is refused as invalid data.
std::uint32_t ReadMouseLevelAndRate(TkwHIDData &AHID, int AProfile, int &ALevel, int &ARate);

// Every profile's, in one run of transfers. A failed read leaves that
// profile unread and the others go on.
TMouseLevelsAndRates ReadMouseLevelsAndRates(TkwHIDData &AHID);

// Takes what was read into the data module: each value read becomes what the
// mouse is known to hold, and a PC value that was not owed to the mouse takes
// the mouse's (a level only when the PC's table has it enabled). The working
// copy and the profile stores in memory change; nothing is marked changed and
// nothing is saved. Returns the profiles whose PC values changed.
std::array<bool, PROFILE_COUNT> FollowMouseLevelsAndRates(TDM &ADM, const TMouseLevelsAndRates &ARead);

// The same for one profile's record (a copy APPLY is about to write): true
// when the record changed.
bool FollowMouseLevelAndRate(TDM &ADM, int AProfile, int ALevel, int ARate, TMouseProfileInfo &AProfileInfo);
