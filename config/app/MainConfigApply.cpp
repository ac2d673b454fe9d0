#include "config/app/MainConfigApply.h"

#include "config/app/ButtonFunctions.h"
#include "config/app/DeviceWriteGuard.h"
#include "config/app/MouseLevelsAndRates.h"
#include "core/DMUnit.h"
#include "core/kwMacroClassUnit.h"
#include "core/kwStdCmd.h"
#include "core/pubunit_device_commands.h"
#include "platform/SystemMouseSettings.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace {

// The writes of one run; the first failure decides the outcome.
struct TWriteLog {
    bool Failed = false;
    bool Ok(std::uint32_t r)
    {
        Failed = Failed || r != 0;
        return r == 0;
    }
};

} // namespace

void ApplySystemMouseSettings(hkt::platform::SystemMouseSettings &ADesktop, const TSystemMouseSettings &ASettings)
{
    // An acceleration without a row (a profile from a file may carry one)
    // skips only the acceleration.
    if (const auto row = hkt::platform::AccelerationRow(ASettings.Acceleration))
        ADesktop.SetMouse(*row);
    ADesktop.SetMouseSpeed(ASettings.PointerSpeed);
    ADesktop.SetWheelScrollLines(ASettings.WheelLines);
}

void BuildProfileDeviceImages(const TMouseProfileInfo &AProfile, const TMACROKEYINFOLIST &AMacros,
                              const TDeviceMacroArea &AArea, TProfileDeviceImages &AImages)
{
    auto copy = std::make_unique<TMouseProfileInfo>(AProfile);
    const int count = std::min<int>(AMacros.nMacroInfoCount, MACRO_LIST_CAPACITY);
    for (auto &b : copy->ConfigInfo.ButtonFuncInfo) {
        if (b.DeviceFunctionCode != DEVICE_FUNCTION_MACRO)
            continue;
        const int slot = b.MacroKeyInfo.nMacroIndex;
        if (slot < 0 || slot >= count || AArea.Lengths[slot] <= 0) {
            // The button map is encoded from this copy: the mouse gets DISABLE.
            DisableButton(b);
            continue;
        }
        b.MacroKeyInfo = AMacros.MacroInfos[slot];
        b.MacroKeyInfo.nMacroIndex = std::uint16_t(slot);
    }
    EncodeProfileDeviceImages(*copy, AImages);
}

namespace {

// The macro area of one run, encoded from the macros the macro buttons of
// the five profiles name, whatever set each was chosen from: the area is
// shared by the five profiles and a button's slot is the mouse's only link
// to its macro, so two sets' macros never share a slot. A macro keeps its
// position in its set as its slot unless a macro met earlier (profiles 0 to
// 4, buttons 0 to 13) took that slot; the others take the lowest free ones.
// So buttons that all come from one set are sent exactly as that set lies;
// a profile with a macro away from its position is written by every run.
// The window lets a profile name at most MACRO_BUTTON_LIMIT macros, so five
// profiles always fit the 30 slots; only profiles read from files can name
// more, and the buttons of macros left without a slot are sent disabled.
class TMacroAreaPlan {
public:
    TMacroAreaPlan(TDM &dm, const TkwMacroSetClass &db) : FDB(db)
    {
        *FMacros = TMACROKEYINFOLIST{};
        *FArea = TDeviceMacroArea{};
        struct Named {
            TButtonMacro macro;
            int slot = -1;
        };
        std::vector<Named> named;
        auto profile = std::make_unique<TMouseProfileInfo>();
        for (int p = 0; p < PROFILE_COUNT; ++p) {
            *profile = TMouseProfileInfo{};
            dm.ReadProfileInfo(*profile, p);
            for (const TBUTTONFUNCINFO &b : profile->ConfigInfo.ButtonFuncInfo) {
                if (b.DeviceFunctionCode != DEVICE_FUNCTION_MACRO)
                    continue;
                const std::optional<TButtonMacro> m = FindButtonMacroInDatabase(b, db);
                if (m && SlotIndexOf(named, *m) < 0)
                    named.push_back({*m, -1});
            }
        }
        std::array<bool, MACRO_LIST_CAPACITY> taken{};
        for (Named &n : named)
            if (!taken[size_t(n.macro.Position)])
                taken[size_t(n.slot = n.macro.Position)] = true;
        int unplaced = 0;
        for (Named &n : named) {
            if (n.slot >= 0)
                continue;
            const auto free = std::find(taken.begin(), taken.end(), false);
            if (free == taken.end()) {
                ++unplaced;
                continue;
            }
            *free = true;
            n.slot = int(free - taken.begin());
        }
        if (unplaced > 0)
            qWarning("hkt75: the profiles' buttons name %d macros more than the mouse's %d slots hold; their "
                     "buttons are sent disabled",
                     unplaced, MACRO_LIST_CAPACITY);

        FMacros->nMacroInfoCount = MACRO_LIST_CAPACITY;
        for (const Named &n : named)
            if (n.slot >= 0) {
                FMacros->MacroInfos[n.slot] = n.macro.Macro;
                FPlaced.push_back({n.macro.SetIndex, n.macro.Position, n.slot});
            }
        EncodeMacroArea(*FMacros, *FArea);
        for (int m = 0; m < MACRO_LIST_CAPACITY; ++m)
            if (!taken[size_t(m)])
                FArea->Lengths[m] = 0;
    }

    // Every macro button of `profile` names its slot in this area (one the
    // area leaves empty when its macro has none, which sends it disabled).
    void PlaceButtons(TMouseProfileInfo &profile) const
    {
        for (TBUTTONFUNCINFO &b : profile.ConfigInfo.ButtonFuncInfo) {
            if (b.DeviceFunctionCode != DEVICE_FUNCTION_MACRO)
                continue;
            const std::optional<TButtonMacro> m = FindButtonMacroInDatabase(b, FDB);
            const int slot = m ? SlotOf(*m) : -1;
            b.MacroKeyInfo.nMacroIndex = slot >= 0 ? std::uint16_t(slot) : std::uint16_t(0xFFFF);
        }
    }

    // Whether a macro of `profile` sits in a slot other than its position:
    // such a slot depends on the other profiles' macros, so it may move with
    // them while this profile is unchanged.
    bool Displaces(const TMouseProfileInfo &profile) const
    {
        for (const TBUTTONFUNCINFO &b : profile.ConfigInfo.ButtonFuncInfo)
            if (b.DeviceFunctionCode == DEVICE_FUNCTION_MACRO)
                if (const std::optional<TButtonMacro> m = FindButtonMacroInDatabase(b, FDB))
                    if (SlotOf(*m) != m->Position)
                        return true;
        return false;
    }

    const TMACROKEYINFOLIST &Macros() const { return *FMacros; }
    const TDeviceMacroArea &Area() const { return *FArea; }

private:
    struct TPlaced {
        int set, position, slot;
    };
    int SlotOf(const TButtonMacro &m) const
    {
        for (const TPlaced &p : FPlaced)
            if (p.set == m.SetIndex && p.position == m.Position)
                return p.slot;
        return -1;
    }
    template <class List>
    static int SlotIndexOf(const List &named, const TButtonMacro &m)
    {
        for (std::size_t i = 0; i < named.size(); ++i)
            if (named[i].macro.SetIndex == m.SetIndex && named[i].macro.Position == m.Position)
                return int(i);
        return -1;
    }

    const TkwMacroSetClass &FDB;
    std::unique_ptr<TMACROKEYINFOLIST> FMacros = std::make_unique<TMACROKEYINFOLIST>();
    std::unique_ptr<TDeviceMacroArea> FArea = std::make_unique<TDeviceMacroArea>();
    std::vector<TPlaced> FPlaced;
};

TApplyOutcome RunApply(TApplyContext &c)
{
    TDM &dm = c.DM;
    TDeviceWriteGuard &dev = c.Device;
    TkwHIDData &hid = dev.HID();

    // 1-3: the PC's stores, the macro database, the unsaved mark. Every
    // store is flushed to disk, which can take a while: the window keeps
    // painting between them (nothing reaches the mouse here).
    bool stored = true;
    dm.SaveBackToCurrentProfileInfo();
    // The current profile is always written; so is every profile with a
    // level or rate edited in the window that the mouse does not hold yet.
    dm.SetProfileChanged(dm.FProfileIndex, true);
    for (int p = 0; p < PROFILE_COUNT; ++p)
        if (dm.IsLevelOwedToMouse(p) || dm.IsRateOwedToMouse(p))
            dm.SetProfileChanged(p, true);
    stored = dm.SaveCurrentProfileInfoToRegistry() && stored;
    dev.Pump();
    stored = dm.SaveCurrentProfileInfoToFile() && stored;
    dev.Pump();
    stored = dm.SaveBackAllProfileInfoToFile() && stored;
    dev.Pump();
    stored = dm.SaveBackAllProfileInfoToRegistry() && stored;
    dev.Pump();
    dm.SaveBackToProfileGroupSettingInfo();
    stored = dm.SaveProfileGroupSettingInfoToRegistry() && stored;
    // Which profiles the mouse is owed goes into the store before the mouse
    // is touched, and leaves it only when this run ends (below): a run that
    // never ends leaves them for the next APPLY.
    stored = dm.SaveProfileChangedMarks() && stored;
    dev.Pump();
    if (c.SaveMacroDatabase)
        stored = c.MacroSet.SaveMacroSetDB() && stored;
    dev.Pump();
    // Said now, outside the mouse's write bracket; the mouse is still
    // written, but the edits stay unsaved until a store takes them.
    if (stored)
        c.State.SettingsChanged = false;
    else if (c.ShowMessage)
        c.ShowMessage(QStringLiteral("WARNING"), QString::fromLatin1(kApplyStoreFailedText));

    // 4: the desktop's settings on a one-shot worker with its own copy.
    hkt::platform::SystemMouseSettings *desktop = &c.DesktopMouse;
    TkwThread::ThreadCallFunction(
        [desktop](void *Buffer, std::uint32_t Size) {
            if (Size == sizeof(TSystemMouseSettings))
                ApplySystemMouseSettings(*desktop, *static_cast<const TSystemMouseSettings *>(Buffer));
        },
        &c.State.SystemMouseSettings, sizeof(TSystemMouseSettings));

    // 5: presence.
    THIDDataParam param;
    param.UsageAndPage = HIDUsageAndPage;
    if (!hid.IsDeviceExist(param)) {
        if (c.ShowMessage)
            c.ShowMessage(QStringLiteral("WARNING"), QString::fromLatin1(kApplyNoMouseText));
        return TApplyOutcome::MouseAbsent;
    }

    TWriteLog log;
    // Profiles whose level or rate this run took from the mouse.
    std::array<bool, PROFILE_COUNT> followed{};
    // 6-7: the write bracket opens; the progress display starts.
    log.Ok(SendWriteStateCommand(hid, 0));
    if (c.StartProgress)
        c.StartProgress();

    // 8: the level read back (the same two reads as ReadCurrentCPIIndex),
    // taken only for the window's own profile, and only when the window
    // holds no edit of it that the mouse is owed.
    {
        std::uint8_t active = 0;
        int index = 0;
        if (ReadActiveProfile(hid, active, ACTIVE_PROFILE_ADDRESS) == 0 && active < PROFILE_COUNT &&
            ReadProfileCPIIndex(hid, active, index) == 0 && active == dm.FProfileIndex &&
            FollowMouseLevelAndRate(dm, active, index, 0, dm.FCurrentProfileInfo))
            followed[size_t(active)] = true;
        dm.SaveBackToCurrentProfileInfo();
        dm.SaveCurrentProfileInfoToRegistry();
        if (c.ShowLevelAndRate)
            c.ShowLevelAndRate();
    }

    // The macro area is encoded before the profiles (it is written after
    // them, as always) so the button maps can agree with it.
    const TMacroAreaPlan macroArea(dm, c.MacroSet);
    // A profile whose macros this area does not hold at their positions is
    // written now, changed or not (its slots may have moved since its map
    // was written), and stays owed to the next run, whose area may move
    // them again. Marked in the store before the first profile is written.
    std::array<bool, PROFILE_COUNT> displaced{};
    auto profile = std::make_unique<TMouseProfileInfo>();
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        *profile = TMouseProfileInfo{};
        dm.ReadProfileInfo(*profile, p);
        displaced[size_t(p)] = macroArea.Displaces(*profile);
    }
    if (std::any_of(displaced.begin(), displaced.end(), [](bool d) { return d; })) {
        for (int p = 0; p < PROFILE_COUNT; ++p)
            if (displaced[size_t(p)])
                dm.SetProfileChanged(p, true);
        dm.SaveProfileChangedMarks();
    }

    // 9: every changed profile. Each profile's level and rate are read just
    // before they are written, with nothing between the read and the writes
    // (no disk, painting or event handling): a value the user did not edit in
    // the window since follows the mouse, so a change made on the mouse while
    // nobody listened (window closed, mouse plugged in late, monitor down) is
    // never written over. A profile that is not written is read all the same,
    // so the window ends knowing what the mouse holds.
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        const bool write = dm.IsProfileChanged(p);
        *profile = TMouseProfileInfo{};
        dm.ReadProfileInfo(*profile, p);
        TProfileDeviceImages images;
        bool ok = true;
        if (write) {
            dev.Wait();
            macroArea.PlaceButtons(*profile);
            BuildProfileDeviceImages(*profile, macroArea.Macros(), macroArea.Area(), images);
            ok = log.Ok(WriteButtonMap(hid, images.Buttons, ButtonMapAddress(p)));
            dev.Pump();
            ok = log.Ok(WriteLEDConfig(hid, images.Light, LEDConfigAddress(p))) && ok;
            dev.Pump();
        }
        int level = -1;
        int rate = 0;
        const std::uint32_t read = ReadMouseLevelAndRate(hid, p, level, rate);
        if (read == 0 && FollowMouseLevelAndRate(dm, p, level, rate, *profile)) {
            followed[size_t(p)] = true;
            EncodeCPITable(*profile, images.CPI);
            images.RateCode = GetReportRateCode(*profile);
        }
        if (write) {
            using State = TDeviceWriteGuard::TMouseState;
            // A level or rate the mouse may hold otherwise is never written
            // unread: the profile stays owed to the next run.
            if (!log.Ok(read)) {
                ok = false;
            } else {
                if (log.Ok(WriteCPITable(hid, images.CPI, CPITableAddress(p))))
                    dev.NoteMouseStateWritten(State::CPILevel, p, images.CPI.CurrentCPIIndex);
                else
                    ok = false;
                if (log.Ok(WriteReportRate(hid, images.RateCode, ReportRateAddress(p))))
                    dev.NoteMouseStateWritten(State::ReportRate, p, images.RateCode);
                else
                    ok = false;
            }
        }
        if (followed[size_t(p)]) {
            // Into the store in memory at once (stored after the run), and
            // into the working copy for the window's own profile.
            // (The run copied the working copy into the store before it began.)
            if (p == dm.FProfileIndex) {
                dm.FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex = profile->ConfigInfo.CurrentCPIIndex;
                dm.FCurrentProfileInfo.ConfigInfo.ReportRate = profile->ConfigInfo.ReportRate;
            }
            dm.SaveBackToProfileInfo(*profile, p);
        }
        // A profile the mouse did not take whole stays marked, so the next
        // APPLY writes it again.
        if (write && ok && !displaced[size_t(p)])
            dm.SetProfileChanged(p, false);
        dev.Pump();
    }

    // 10-14: macros, active profile, the bracket closed, refresh, monitor.
    log.Ok(WriteMacroArea(hid, macroArea.Area(), MACRO_AREA_BASE));
    if (log.Ok(WriteActiveProfile(hid, std::uint8_t(dm.FProfileIndex), ACTIVE_PROFILE_ADDRESS)))
        dev.NoteMouseStateWritten(TDeviceWriteGuard::TMouseState::ActiveProfile, dm.FProfileIndex, dm.FProfileIndex);
    dev.Pump();
    log.Ok(SendWriteStateCommand(hid, 1));
    dev.Pump();
    log.Ok(SendRefreshCommand(hid, 1, 0));
    dev.Wait();
    // Only the profiles the mouse did not take stay marked. Should the store
    // refuse, it keeps more marks than needed: the next APPLY writes more.
    dm.SaveProfileChangedMarks();
    // What the run took from the mouse is stored, and with it what the mouse
    // holds: the stores were saved before the writes, so (when they all
    // were) every stored profile now is what its entry says the mouse holds.
    if (std::any_of(followed.begin(), followed.end(), [](bool f) { return f; })) {
        for (int p = 0; p < PROFILE_COUNT; ++p)
            if (followed[size_t(p)])
                stored = dm.SaveProfileInfoToRegistry(p) && stored;
        stored = dm.SaveBackAllProfileInfoToFile() && stored;
        if (followed[size_t(dm.FProfileIndex)] && c.ShowLevelAndRate)
            c.ShowLevelAndRate();
    }
    if (stored)
        dm.SaveMouseHolds({true, true, true, true, true});
    dev.NotifyMonitorProfileChanged();

    if (log.Failed) {
        if (c.ShowMessage)
            c.ShowMessage(QStringLiteral("WARNING"), QString::fromLatin1(kApplyFailedText));
        return TApplyOutcome::WriteFailed;
    }
    return stored ? TApplyOutcome::Written : TApplyOutcome::StoreFailed;
}

} // namespace

TApplyOutcome ApplySettings(TApplyContext &AContext)
{
    TApplyOutcome outcome = TApplyOutcome::Refused;
    AContext.Device.Run([&] { outcome = RunApply(AContext); });
    return outcome;
}
