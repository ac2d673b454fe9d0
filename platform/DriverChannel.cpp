#include "platform/DriverChannel.h"

#include "platform/HidBackend.h"

namespace hkt::platform {

namespace {

class LinuxDriverChannel final : public DriverChannel {
public:
    std::unique_ptr<DriverHandle> Open(const QString &, bool) override { return nullptr; }

    std::vector<HidClassDevice> PresentHidClassDevices() override
    {
        std::vector<HidClassDevice> devices;
        for (const HidInterfaceInfo &node : CurrentHidBackend()->enumerate()) {
            for (size_t c = 0; c < node.collections.size(); ++c) {
                HidClassDevice d;
                d.instanceId = node.path + QStringLiteral("#") + QString::number(c);
                d.hardwareIds = node.collections[c].hardwareIds;
                devices.push_back(std::move(d));
            }
        }
        return devices;
    }
};

class LinuxInstallerActions final : public DriverInstallerActions {
public:
    bool IsWindows64Bit() override { return false; }
    std::uint8_t WinVersionKind() override { return 0; }
    QString WindowsFolder() override { return QString(); }
    bool RunTool(const QString &, const QString &, const QString &) override { return false; }
    bool ReplaceFile(const QString &, const QString &) override { return false; }
    bool InstallKernelService(const QString &, const QString &, const QString &, const QString &) override
    {
        return false;
    }
    bool DeleteService(const QString &) override { return false; }
    bool WriteFilters(const HidClassDevice &, bool, const QStringList &) override { return false; }
    bool RestartDevice(const HidClassDevice &) override { return false; }
};

} // namespace

std::shared_ptr<DriverChannel> MakeLinuxDriverChannel()
{
    return std::make_shared<LinuxDriverChannel>();
}

std::shared_ptr<DriverInstallerActions> MakeLinuxDriverInstallerActions()
{
    return std::make_shared<LinuxInstallerActions>();
}

} // namespace hkt::platform
