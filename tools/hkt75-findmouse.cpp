// Says whether a mouse of this suite can be reached, found exactly as APPLY
// looks for it: the HID backend the programs would use (HKT75_HID), the
// mouse's vendor usage page and the [IncludeHIDDeviceList] of the config.ini
// beside this tool. Before the answer it lists every HID collection with the
// mouse's vendor usage page and its hardware identifiers, as
// [IncludeHIDDeviceList] names them. scripts/start-suite asks it to choose
// between the real mouse and the simulated one. Exit status 0 when one can be
// reached, 1 otherwise.
#include "core/kwHIDData.h"
#include "core/pubunit_device_transport.h"
#include "platform/HidBackend.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const auto backend = hkt::platform::CurrentHidBackend();
    for (const hkt::platform::HidInterfaceInfo &node : backend->enumerate()) {
        for (const hkt::platform::HidCollectionInfo &c : node.collections) {
            if (c.usagePage != kMouseVendorUsagePage || c.usage != kMouseVendorUsage)
                continue;
            std::printf("%s:", qPrintable(node.path));
            for (const QString &id : c.hardwareIds)
                std::printf(" %s", qPrintable(id));
            std::printf("\n");
        }
    }
    TkwHIDData hid(nullptr, backend);
    THIDDataParam param;
    param.UsageAndPage.UsagePage = kMouseVendorUsagePage;
    param.UsageAndPage.Usage = kMouseVendorUsage;
    const bool found = hid.IsDeviceExist(param);
    std::printf("%s\n", found ? "found: a mouse of this suite can be opened" : "none: no mouse of this suite can be opened");
    return found ? 0 : 1;
}
