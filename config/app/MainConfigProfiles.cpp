#include "config/app/MainConfigProfiles.h"

#include "config/app/DeviceWriteGuard.h"
#include "config/app/MainConfigHost.h"
#include "config/ui/kwSkinKit.h"
#include "core/DMUnit.h"
#include "core/Function_ProfileFiles.h"
#include "core/pubunit_device_commands.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

using namespace hkt::skin;

TMainConfigProfiles::TMainConfigProfiles(TMainConfigHost &AHost, QWidget *AContainer)
    : QObject(AContainer), FHost(AHost)
{
    const TMainConfigControls &c = FHost.Controls();
    for (int tag = 0; tag < int(c.BtnProfile.size()); ++tag) {
        StateButton *b = c.BtnProfile[size_t(tag)];
        if (!b)
            continue;
        connect(b, &StateButton::clicked, this, [this, tag] {
            // Refused while another sequence writes the mouse: show the
            // profile that is still current.
            if (!BtnProfile1Click(tag))
                kwCommandSetting1Commands3Execute();
        });
    }
    if (c.BtnRestor)
        connect(c.BtnRestor, &StateButton::clicked, this, [this] { BtnRestorClick(); });
    if (c.BtnRestoreall)
        connect(c.BtnRestoreall, &StateButton::clicked, this, [this] { BtnRestoreallClick(); });
    // LOAD FILE and SAVE AS answer the release of any mouse button over them.
    for (StateButton *b : {c.BtnLoad, c.BtnSave})
        if (b)
            b->installEventFilter(this);
}

bool TMainConfigProfiles::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    const TMainConfigControls &c = FHost.Controls();
    if (AEvent->type() == QEvent::MouseButtonRelease && (AWatched == c.BtnLoad || AWatched == c.BtnSave)) {
        auto *w = static_cast<QWidget *>(AWatched);
        const auto *me = static_cast<QMouseEvent *>(AEvent);
        if (w->isEnabled() && w->rect().contains(me->position().toPoint())) {
            if (AWatched == c.BtnLoad)
                BtnLoadMouseUp();
            else
                BtnSaveMouseUp();
        }
    }
    return QObject::eventFilter(AWatched, AEvent);
}

QString TMainConfigProfiles::ProfilePath() const
{
    return FieldText(FHost.DataModule().FProfileSettingGroup.ProfileSettingList[0].FilePath);
}

void TMainConfigProfiles::kwCommandSetting1Commands3Execute()
{
    const TMainConfigControls &c = FHost.Controls();
    for (StateButton *b : c.BtnProfile)
        if (b)
            b->setChecked(false);
    const int p = FHost.DataModule().FProfileIndex;
    if (p >= 0 && p < int(c.BtnProfile.size()) && c.BtnProfile[size_t(p)])
        c.BtnProfile[size_t(p)]->setChecked(true);
}

bool TMainConfigProfiles::BtnProfile1Click(int ATag)
{
    return SwitchProfile(ATag, std::nullopt);
}

bool TMainConfigProfiles::SwitchMadeOnTheMouse(int ATag, std::uint64_t AArrivedAt)
{
    return SwitchProfile(ATag, AArrivedAt);
}

bool TMainConfigProfiles::SwitchProfile(int ATag, const std::optional<std::uint64_t> &AArrivedAt)
{
    // No profile button has another Tag: such a switch writes nothing.
    if (!TDM::IsProfileIndexInRange(ATag))
        return false;
    TDeviceWriteGuard &device = FHost.DeviceWrites();
    using State = TDeviceWriteGuard::TMouseState;
    return device.Run([&] {
        // The mouse first, before anything that takes time (the stores'
        // flushes to disk, the pages): the mouse can change by itself at any
        // moment, so what decides the write and the write are one step.
        TkwHIDData &hid = device.HID();
        auto write = [&] { return WriteActiveProfile(hid, std::uint8_t(ATag), ACTIVE_PROFILE_ADDRESS); };
        bool written = false;
        if (AArrivedAt) {
            written = device.RewriteOverwrittenReport(
                State::ActiveProfile, ATag, ATag, *AArrivedAt,
                [&](int &onTheMouse) {
                    std::uint8_t v = 0;
                    const std::uint32_t r = ReadActiveProfile(hid, v, ACTIVE_PROFILE_ADDRESS);
                    onTheMouse = v;
                    return r;
                },
                write);
        } else if (write() == 0) {
            device.NoteMouseStateWritten(State::ActiveProfile, ATag, ATag);
            written = true;
        }
        if (written)
            SendRefreshCommand(hid, 1, std::uint8_t(ATag));

        TDM &dm = FHost.DataModule();
        if (!dm.SwitchToProfile(ATag))
            return;
        dm.SaveBackAllProfileSettingInfo();
        TMainConfigState &state = FHost.State();
        auto loadMouseSettings = [&] {
            const TMOUSECONFIGINFO &cfg = dm.FCurrentProfileInfo.ConfigInfo;
            state.SystemMouseSettings = {cfg.PointerSpeed, cfg.VWheelSpeed, cfg.PointerAcceleration};
        };
        loadMouseSettings();
        state.LiveLEDConfig = dm.FCurrentProfileInfo.ConfigInfo.LEDConfig;
        FHost.MacrosChanged(true);
        loadMouseSettings();
        FHost.RefreshPages();
        device.Pump();
        device.NotifyMonitorProfileChanged();
    });
}

void TMainConfigProfiles::WriteCurrentCPITable(int AProfile)
{
    TDeviceWriteGuard &device = FHost.DeviceWrites();
    device.Wait();
    TDeviceCPITable table{};
    EncodeCPITable(FHost.DataModule().FCurrentProfileInfo, table);
    if (WriteCPITable(device.HID(), table, CPITableAddress(AProfile)) == 0)
        device.NoteMouseStateWritten(TDeviceWriteGuard::TMouseState::CPILevel, AProfile, table.CurrentCPIIndex);
    device.Pump();
}

void TMainConfigProfiles::BtnRestorClick()
{
    TDM &dm = FHost.DataModule();
    const int p = dm.FProfileIndex;
    if (FHost.DeviceWrites().Busy())
        return;
    if (FHost.Message2(QString::fromLatin1(RESTORE_TITLE), QString::fromLatin1(RESTORE_TEXT),
                       QString::fromLatin1(RESTORE_TEXT2)) != 1)
        return;
    // The answer was for the profile shown when the question was asked.
    if (dm.FProfileIndex != p)
        return;
    FHost.DeviceWrites().Run([&] {
        dm.RestoreCurrentProfileInfoToDefault();
        FHost.MacrosChanged(false);
        WriteCurrentCPITable(p);
        FHost.RefreshPages();
        FHost.State().SettingsChanged = true;
    });
}

void TMainConfigProfiles::BtnRestoreallClick()
{
    if (FHost.DeviceWrites().Busy())
        return;
    if (FHost.Message2(QString::fromLatin1(RESET_ALL_TITLE), QString::fromLatin1(RESET_ALL_TEXT), QString()) != 1)
        return;
    FHost.DeviceWrites().Run([&] {
        FHost.DataModule().RestoreAllProfileInfoToDefault();
        if (BtnProfile1Click(PROFILE_COUNT - 1))
            WriteCurrentCPITable(PROFILE_COUNT - 1);
    });
}

void TMainConfigProfiles::BtnLoadMouseUp()
{
    TDeviceWriteGuard &device = FHost.DeviceWrites();
    device.Run([&] {
        int r = PROFILE_IMPORT_CANCELLED;
        {
            // The file dialog's loop may not start another sequence (a
            // profile switch waits until the file is in).
            TDeviceWriteGuard::WaitScope wait(device);
            r = ImportProfileFile(FHost.DataModule(), ProfilePath());
        }
        if (r == PROFILE_IMPORT_LOADED) {
            FHost.MacrosChanged(true);
            FHost.RefreshPages();
        } else if (r == PROFILE_IMPORT_REFUSED) {
            FHost.Message(QString::fromLatin1(DIALOG_TITLE_WARNING), QString::fromLatin1(PROFILE_VERSION_INCORRECT_TEXT));
        } else if (r == PROFILE_IMPORT_UNREADABLE) {
            FHost.Message(QString::fromLatin1(DIALOG_TITLE_WARNING), QString::fromLatin1(PROFILE_FILE_UNREADABLE_TEXT));
        }
    });
}

void TMainConfigProfiles::BtnSaveMouseUp()
{
    TDeviceWriteGuard &device = FHost.DeviceWrites();
    // The profile saved is the one current when the dialog opened: no switch
    // runs while it is open.
    device.Run([&] {
        TDeviceWriteGuard::WaitScope wait(device);
        ExportProfileFile(FHost.DataModule(), ProfilePath());
    });
}
