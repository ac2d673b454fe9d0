// Untrusted profile files as the configuration window takes them: LOAD FILE
// through the window's own handler, every page shown and painted, then APPLY
// against the in-process simulated mouse in strict mode. Whatever a file
// holds, the window must neither crash nor send the mouse a report it would
// refuse, nor break the write bracket: any strict-mode violation is a finding.
//
// Qt keeps its font and glyph caches for the process's life; the leak check
// leaves them out (QtLeakSuppressions.cpp) and reports any other leak. Every
// run saves profiles and settings, so a TMPDIR on tmpfs keeps it fast.
#include "config/app/MainConfig.h"
#include "config/app/MainConfigProfiles.h"
#include "core/DMUnit.h"
#include "core/Function_ProfileFiles.h"
#include "platform/SystemMouseSettings.h"
#include "platform/ValueStore.h"
#include "sim/InProcessHidBackend.h"
#include "sim/VirtualMouse.h"

#include "ProfileFileInput.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

class NoDesktop : public hkt::platform::SystemMouseSettings {
public:
    bool SetMouse(const hkt::platform::MouseAccelerationRow &) override { return true; }
    bool SetMouseSpeed(int) override { return true; }
    bool SetWheelScrollLines(int) override { return true; }
    bool SetDoubleClickTime(int) override { return true; }
    QString Name() const override { return QStringLiteral("none"); }
};

// LOAD FILE's dialog always picks the fuzzed file.
class PickTheFile : public TProfileFileDialogs {
public:
    explicit PickTheFile(QString file) : FFile(std::move(file)) {}
    std::optional<QString> ExecuteOpenDialog(const TProfileFileDialogOptions &) override { return FFile; }
    std::optional<QString> ExecuteSaveDialog(const TProfileFileDialogOptions &) override { return std::nullopt; }

private:
    QString FFile;
};

struct World {
    QTemporaryDir tmp;
    std::shared_ptr<hkt::platform::MemoryValueStore> values = std::make_shared<hkt::platform::MemoryValueStore>();
    std::shared_ptr<hkt::sim::VirtualMouse> mouse = std::make_shared<hkt::sim::VirtualMouse>();
    std::unique_ptr<TDM> dm;
    std::unique_ptr<THKT75CFGMAIN> form;
    QString file;
    QByteArray factoryProfile; // profile 1 as a first start makes it

    World()
    {
        QDir().mkpath(tmp.path() + "/prog");
        QDir().mkpath(tmp.path() + "/run");
        file = tmp.path() + "/input.pfd";
        dm = std::make_unique<TDM>(TDMRoots{values, tmp.path() + "/prog/", tmp.path() + "/docs/"});
        DM = dm.get();
        factoryProfile = dm->kwProfileGame1.Image().left(qsizetype(PROFILE_RECORD_SIZE));
        TMainConfigSetup s;
        s.RuntimeRoot = tmp.path() + "/run";
        s.ProgramFolder = tmp.path() + "/prog/";
        s.Hid = hkt::sim::MakeInProcessHidBackend(mouse);
        s.DesktopMouse = std::make_shared<NoDesktop>();
        s.Dialog = [](const QString &, const QString &) { return 1; };
        s.Dialog2 = [](const QString &, const QString &, const QString &) { return 1; };
        s.StartMonitor = [](const QString &, const QString &) { return true; };
        s.Screens = [] { return QList<QRect>{QRect(0, 0, 1280, 1024)}; };
        s.DeviceWaitMs = 0;
        form = std::make_unique<THKT75CFGMAIN>(*dm, s);
        form->kwHIDData1->GetHIDDeviceList().clear();
        form->RegisterWindow();
        SetProfileFileDialogs(std::make_shared<PickTheFile>(file));
        mouse->SetLogCapacity(0);
        mouse->SetStrict(true);
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("HKT75_TEST", "1");
    static QApplication app(*argc, *argv); // lives for the whole run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static World *world = new World; // lives for the whole run
    QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    // As in the loader's own target: 'P' stretches the input past a whole
    // profile and 'V' also stamps the version, so the pages and APPLY see
    // accepted profiles as often as refused files. 'D', a 16-bit offset and
    // bytes patch a factory profile there: a valid profile with a few fields
    // out of range, which is what reaches deep into the pages and APPLY.
    if (input.startsWith('D') && input.size() >= 3) {
        QByteArray profile = world->factoryProfile;
        const int offset = (std::uint8_t(input[1]) | std::uint8_t(input[2]) << 8) % int(profile.size());
        const QByteArray patch = input.mid(3, profile.size() - offset);
        profile.replace(offset, patch.size(), patch);
        input = profile;
    } else {
        input = ShapeProfileFileInput(input, size);
    }
    WriteProfileFileInput(world->file, input);
    THKT75CFGMAIN &form = *world->form;
    form.ProfilesPage().BtnLoadMouseUp();
    for (int page = 0; page < 4; ++page) {
        form.ShowPage(page);
        (void)form.grab(); // paints every widget of the page
    }
    form.ShowPage(0);
    world->mouse->ClearViolations();
    form.ApplySettings();
    const auto violations = world->mouse->Violations();
    if (!violations.empty()) {
        for (const auto &v : violations)
            std::fprintf(stderr, "strict mode: %s\n", v.what.c_str());
        __builtin_trap();
    }
    return 0;
}
