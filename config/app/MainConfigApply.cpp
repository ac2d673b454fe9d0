#include "config/app/MainConfigApply.h"

#include "config/app/DeviceWriteGuard.h"
#include "core/DMUnit.h"
#include "core/kwMacroClassUnit.h"
#include "core/kwStdCmd.h"
#include "core/pubunit_device_commands.h"
#include "platform/SystemMouseSettings.h"

#include <memory>

namespace {

constexpr int kDisabledFunctionRow = 47;
constexpr int kDisabledMenuID = 16;

void MakeDisabled(TBUTTONFUNCINFO &b)
{
    b.FunctionType = FUNCTION_TYPE_HID_CODE;
    b.FunctionIndex = kDisabledFunctionRow;
    b.DeviceFunctionCode = DEVICE_FUNCTION_HID_CODE;
    b.MenuID = kDisabledMenuID;
    b.HIDCode = {};
}

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
            MakeDisabled(b);
            continue;
        }
        b.MacroKeyInfo = AMacros.MacroInfos[slot];
        b.MacroKeyInfo.nMacroIndex = std::uint16_t(slot);
    }
    copy->ConfigInfo.ButtonCount = BUTTON_ENTRY_COUNT;
    static constexpr int kOrder[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    ReorderButtons(*copy, kOrder);
    EncodeButtonMap(*copy, AImages.Buttons);
    EncodeLEDBlock(copy->ConfigInfo.LEDConfig, AImages.Light);
    EncodeCPITable(*copy, AImages.CPI);
    AImages.RateCode = GetReportRateCode(*copy);
}

namespace {

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
    // 6-7: the write bracket opens; the progress display starts.
    log.Ok(SendWriteStateCommand(hid, 0));
    if (c.StartProgress)
        c.StartProgress();

    // 8: the level read back (the same two reads as ReadCurrentCPIIndex),
    // taken only for the window's own profile.
    {
        std::uint8_t active = 0;
        int index = 0;
        if (ReadActiveProfile(hid, active, ACTIVE_PROFILE_ADDRESS) == 0 && active < PROFILE_COUNT &&
            ReadProfileCPIIndex(hid, active, index) == 0 && active == dm.FProfileIndex)
            dm.FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex = index;
        dm.SaveBackToCurrentProfileInfo();
        dm.SaveCurrentProfileInfoToRegistry();
        if (c.ShowCPILevelSelection)
            c.ShowCPILevelSelection();
    }

    // The macro area is encoded before the profiles (it is written after
    // them, as always) so the button maps can agree with it.
    auto macros = std::make_unique<TMACROKEYINFOLIST>();
    if (TkwMacroClass *current = c.MacroSet.CurrentMacroClass())
        current->GetMacroKeyInfoList(*macros);
    auto area = std::make_unique<TDeviceMacroArea>();
    *area = TDeviceMacroArea{};
    EncodeMacroArea(*macros, *area);
    const QList<int> used = dm.GetAllProfilesMacroIndexList();
    for (int m = 0; m < MACRO_LIST_CAPACITY; ++m)
        if (!used.contains(m))
            area->Lengths[m] = 0;

    // 9: every changed profile.
    auto profile = std::make_unique<TMouseProfileInfo>();
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        if (!dm.IsProfileChanged(p))
            continue;
        *profile = TMouseProfileInfo{};
        dm.ReadProfileInfo(*profile, p);
        dev.Wait();
        TProfileDeviceImages images;
        BuildProfileDeviceImages(*profile, *macros, *area, images);
        bool ok = log.Ok(WriteButtonMap(hid, images.Buttons, ButtonMapAddress(p)));
        dev.Pump();
        ok = log.Ok(WriteLEDConfig(hid, images.Light, LEDConfigAddress(p))) && ok;
        dev.Pump();
        ok = log.Ok(WriteCPITable(hid, images.CPI, CPITableAddress(p))) && ok;
        dev.Pump();
        ok = log.Ok(WriteReportRate(hid, images.RateCode, ReportRateAddress(p))) && ok;
        // A profile the mouse did not take whole stays marked, so the next
        // APPLY writes it again.
        if (ok)
            dm.SetProfileChanged(p, false);
        dev.Pump();
    }

    // 10-14: macros, active profile, the bracket closed, refresh, monitor.
    log.Ok(WriteMacroArea(hid, *area, MACRO_AREA_BASE));
    log.Ok(WriteActiveProfile(hid, std::uint8_t(dm.FProfileIndex), ACTIVE_PROFILE_ADDRESS));
    dev.Pump();
    log.Ok(SendWriteStateCommand(hid, 1));
    dev.Pump();
    log.Ok(SendRefreshCommand(hid, 1, 0));
    dev.Wait();
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
