#include "platform/HidrawBackend.h"
#include "platform/HidDescriptor.h"
#include "support/HidDescriptorFixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

using namespace hkt::platform;
using namespace hkt::testfixtures;
using Bytes = std::vector<std::uint8_t>;

namespace {

void WriteFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray Raw(const Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), static_cast<qsizetype>(b.size()));
}

// A sysfs tree as the kernel lays it out: class/hidraw/<node> links to the
// node below its HID device, which sits below the USB interface and device.
class FakeSysfs {
public:
    FakeSysfs()
    {
        sys = dir.filePath(QStringLiteral("sys"));
        dev = dir.filePath(QStringLiteral("dev"));
        QDir().mkpath(sys + QStringLiteral("/class/hidraw"));
        QDir().mkpath(dev);
    }

    // A USB device with `interfaces` interfaces; returns its folder.
    QString usbDevice(const QString &name, const char *vid, const char *pid, const char *bcd, int interfaces)
    {
        const QString d = sys + QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/") + name;
        WriteFile(d + QStringLiteral("/idVendor"), QByteArray(vid) + '\n');
        WriteFile(d + QStringLiteral("/idProduct"), QByteArray(pid) + '\n');
        WriteFile(d + QStringLiteral("/bcdDevice"), QByteArray(bcd) + '\n');
        WriteFile(d + QStringLiteral("/bNumInterfaces"), QByteArray(" ") + QByteArray::number(interfaces) + '\n');
        return d;
    }

    QString usbInterface(const QString &device, const QString &name, int number)
    {
        const QString d = device + QLatin1Char('/') + name;
        WriteFile(d + QStringLiteral("/bInterfaceNumber"), QByteArray::number(number, 16).rightJustified(2, '0') + '\n');
        return d;
    }

    // A HID device with one hidraw node below `parent`.
    void hidNode(const QString &parent, const QString &hidName, const QByteArray &hidId, const QByteArray &descriptor,
                 const QString &node, bool makeDevNode = true)
    {
        const QString hid = parent + QLatin1Char('/') + hidName;
        WriteFile(hid + QStringLiteral("/uevent"), "DRIVER=hid-generic\nHID_ID=" + hidId + "\nHID_NAME=Test\n");
        WriteFile(hid + QStringLiteral("/report_descriptor"), descriptor);
        const QString nodeDir = hid + QStringLiteral("/hidraw/") + node;
        QDir().mkpath(nodeDir);
        ASSERT_TRUE(QFile::link(QStringLiteral("../../../") + hidName, nodeDir + QStringLiteral("/device")));
        ASSERT_TRUE(QFile::link(nodeDir, sys + QStringLiteral("/class/hidraw/") + node));
        if (makeDevNode)
            WriteFile(dev + QLatin1Char('/') + node, {});
    }

    QTemporaryDir dir;
    QString sys;
    QString dev;
};

// The tree of one composite gaming mouse (a boot mouse on interface 0, three
// collections on interface 1), a Bluetooth device and a node whose
// descriptor is garbage.
void BuildMachine(FakeSysfs &fs)
{
    const QString mouse = fs.usbDevice(QStringLiteral("1-2"), "1d57", "fa60", "0102", 2);
    fs.hidNode(fs.usbInterface(mouse, QStringLiteral("1-2:1.0"), 0), QStringLiteral("0003:1D57:FA60.0001"),
               "0003:00001D57:0000FA60", Raw(kBootMouseDescriptor), QStringLiteral("hidraw0"));
    fs.hidNode(fs.usbInterface(mouse, QStringLiteral("1-2:1.1"), 1), QStringLiteral("0003:1D57:FA60.0002"),
               "0003:00001D57:0000FA60", Raw(kMultiCollectionDescriptor), QStringLiteral("hidraw10"));
    const QString uhid = fs.sys + QStringLiteral("/devices/virtual/misc/uhid");
    fs.hidNode(uhid, QStringLiteral("0005:046D:B012.0003"), "0005:0000046D:0000B012", Raw(kVendorDescriptor),
               QStringLiteral("hidraw2"), /*makeDevNode=*/false);
    fs.hidNode(uhid, QStringLiteral("0003:0001:0002.0004"), "0003:00000001:00000002", QByteArray("\xC0\xC0", 2),
               QStringLiteral("hidraw3"));
}

} // namespace

TEST(HidrawHardwareIds, WindowsFormsByInterfaceAndCollection)
{
    struct Case {
        const char *name;
        std::optional<std::uint16_t> rev;
        int mi;
        bool composite;
        int col;
        std::uint16_t page, usage;
        QStringList expected;
    };
    const Case cases[] = {
        {"single interface vendor", 0x0102, 0, false, -1, 0xFFA0, 1,
         {"HID\\VID_1D57&PID_FA60&REV_0102", "HID\\VID_1D57&PID_FA60", "HID_DEVICE_UP:FFA0_U:0001", "HID_DEVICE"}},
        {"composite, one collection", 0x0102, 0, true, -1, 0x0001, 0x0002,
         {"HID\\VID_1D57&PID_FA60&REV_0102&MI_00", "HID\\VID_1D57&PID_FA60&MI_00", "HID_DEVICE_SYSTEM_MOUSE",
          "HID_DEVICE_UP:0001_U:0002", "HID_DEVICE"}},
        {"composite, third collection", 0x0102, 1, true, 2, 0xFFA0, 1,
         {"HID\\VID_1D57&PID_FA60&REV_0102&MI_01&Col03", "HID\\VID_1D57&PID_FA60&MI_01&Col03",
          "HID_DEVICE_UP:FFA0_U:0001", "HID_DEVICE"}},
        {"keyboard without revision", std::nullopt, -1, false, 0, 0x0001, 0x0006,
         {"HID\\VID_1D57&PID_FA60&Col01", "HID_DEVICE_SYSTEM_KEYBOARD", "HID_DEVICE_UP:0001_U:0006", "HID_DEVICE"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WindowsHardwareIds(0x1D57, 0xFA60, c.rev, c.mi, c.composite, c.col, c.page, c.usage), c.expected);
    }
}

TEST(HidrawEnumeration, FakeSysfsTreeGivesWindowsStyleInterfaces)
{
    FakeSysfs fs;
    BuildMachine(fs);
    const auto nodes = EnumerateHidrawSysfs(fs.sys, fs.dev);
    ASSERT_EQ(nodes.size(), 4u);
    // By node number, not by name.
    EXPECT_EQ(nodes[0].path, fs.dev + QStringLiteral("/hidraw0"));
    EXPECT_EQ(nodes[1].path, fs.dev + QStringLiteral("/hidraw2"));
    EXPECT_EQ(nodes[2].path, fs.dev + QStringLiteral("/hidraw3"));
    EXPECT_EQ(nodes[3].path, fs.dev + QStringLiteral("/hidraw10"));

    const HidInterfaceInfo &boot = nodes[0];
    EXPECT_EQ(boot.vendorId, 0x1D57);
    EXPECT_EQ(boot.productId, 0xFA60);
    EXPECT_EQ(boot.versionNumber, 0x0102);
    EXPECT_EQ(boot.interfaceNumber, 0);
    ASSERT_EQ(boot.collections.size(), 1u);
    EXPECT_EQ(boot.collections[0].hardwareIds.value(0), QStringLiteral("HID\\VID_1D57&PID_FA60&REV_0102&MI_00"));
    EXPECT_EQ(boot.reportDescriptor, Raw(kBootMouseDescriptor));

    const HidInterfaceInfo &bt = nodes[1];
    EXPECT_EQ(bt.interfaceNumber, -1);
    ASSERT_EQ(bt.collections.size(), 1u);
    EXPECT_EQ(bt.collections[0].hardwareIds,
              (QStringList{"HID\\VID_046D&PID_B012", "HID_DEVICE_UP:FFA0_U:0001", "HID_DEVICE"}));

    EXPECT_TRUE(nodes[2].collections.empty());  // listed, but never qualifies

    const HidInterfaceInfo &multi = nodes[3];
    EXPECT_EQ(multi.interfaceNumber, 1);
    ASSERT_EQ(multi.collections.size(), 3u);
    EXPECT_EQ(multi.collections[2].usagePage, 0xFFA0);
    EXPECT_EQ(multi.collections[2].featureReportByteLength, 1024);
    EXPECT_EQ(multi.collections[2].hardwareIds.value(0),
              QStringLiteral("HID\\VID_1D57&PID_FA60&REV_0102&MI_01&Col03"));
    EXPECT_EQ(multi.collections[0].hardwareIds.value(1), QStringLiteral("HID\\VID_1D57&PID_FA60&MI_01&Col01"));
}

TEST(HidrawEnumeration, MissingTreeGivesNothing)
{
    QTemporaryDir dir;
    EXPECT_TRUE(EnumerateHidrawSysfs(dir.filePath(QStringLiteral("nope")), dir.path()).empty());
}

TEST(HidrawBackend, OpenFailuresAreWindowsCodesNeverSuccess)
{
    FakeSysfs fs;
    BuildMachine(fs);
    auto backend = MakeHidrawBackend(fs.sys, fs.dev);
    ASSERT_EQ(backend->enumerate().size(), 4u);
    // No device node: the device is not connected.
    EXPECT_EQ(backend->open(fs.dev + QStringLiteral("/hidraw2"), 0).status, HidStatus::DeviceNotConnected);
    // Unknown path and a collection the node doesn't have.
    EXPECT_EQ(backend->open(fs.dev + QStringLiteral("/hidraw99"), 0).status, HidStatus::DeviceNotConnected);
    EXPECT_EQ(backend->open(fs.dev + QStringLiteral("/hidraw10"), 3).status, HidStatus::InvalidParameter);
    // A node that opens but is no HID device refuses the feature ioctl.
    HidOpenResult r = backend->open(fs.dev + QStringLiteral("/hidraw10"), 2);
    ASSERT_EQ(r.status, HidStatus::Ok);
    ASSERT_TRUE(r.device);
    Bytes report(16, 0);
    report[0] = 2;
    EXPECT_NE(r.device->setFeature(report), HidStatus::Ok);
    std::size_t received = 99;
    EXPECT_NE(r.device->getFeature(report, received), HidStatus::Ok);
    EXPECT_EQ(received, 0u);
}

namespace {

// One end of a packet socket stands in for the node: one report per read,
// and a hang-up when the other end closes, as hidraw does on unplug.
struct FakeNode {
    FakeNode()
    {
        int sv[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv), 0);
        hostFd = sv[0];
        deviceFd = sv[1];
    }
    ~FakeNode()
    {
        if (deviceFd >= 0)
            ::close(deviceFd);
    }
    void send(const Bytes &b) { ASSERT_EQ(::write(deviceFd, b.data(), b.size()), static_cast<ssize_t>(b.size())); }
    void unplug()
    {
        ::close(deviceFd);
        deviceFd = -1;
    }
    int hostFd = -1;
    int deviceFd = -1;
};

HidCollectionInfo Collection(const Bytes &descriptor, int index)
{
    const auto d = ParseHidDescriptor(descriptor);
    EXPECT_TRUE(d);
    return d ? d->collections.at(index) : HidCollectionInfo{};
}

} // namespace

TEST(HidrawDevice, ReadsKeepTheirCollectionsReportsPaddedToItsLength)
{
    FakeNode node;
    auto device = MakeHidrawDevice(node.hostFd, Collection(kVendorDescriptor, 0), true);
    HidWake wake;
    Bytes buffer(8, 0xEE);
    node.send({1, 0x02, 0x00, 0x04});      // the keyboard collection's report: not ours
    node.send({7, 0x01, 0x02});           // ours, shorter than the collection's 8 bytes
    const HidReadResult r = device->read(buffer, wake);
    ASSERT_EQ(r.kind, HidReadResult::Kind::Report);
    EXPECT_EQ(r.size, 8u);
    EXPECT_EQ(buffer, (Bytes{7, 0x01, 0x02, 0, 0, 0, 0, 0}));
}

TEST(HidrawDevice, ReportsWithoutIdsGetTheWindowsZeroIdByte)
{
    FakeNode node;
    auto device = MakeHidrawDevice(node.hostFd, Collection(kBootMouseDescriptor, 0), false);
    HidWake wake;
    Bytes buffer(4, 0xEE);
    node.send({0x05, 0x01, 0xFF});
    const HidReadResult r = device->read(buffer, wake);
    ASSERT_EQ(r.kind, HidReadResult::Kind::Report);
    EXPECT_EQ(buffer, (Bytes{0x00, 0x05, 0x01, 0xFF}));
}

TEST(HidrawDevice, WakeUnplugAndShortBufferEndTheRead)
{
    {
        FakeNode node;
        auto device = MakeHidrawDevice(node.hostFd, Collection(kVendorDescriptor, 0), true);
        HidWake wake;
        Bytes buffer(8);
        HidReadResult r;
        std::thread reader([&] { r = device->read(buffer, wake); });
        wake.wake();  // whether the reader is already in poll or not
        reader.join();
        EXPECT_EQ(r.kind, HidReadResult::Kind::Woken);

        Bytes small(7);
        EXPECT_EQ(device->read(small, wake).status, HidStatus::InvalidParameter);

        wake.reset();
        node.unplug();
        const HidReadResult gone = device->read(buffer, wake);
        EXPECT_EQ(gone.kind, HidReadResult::Kind::Gone);
        EXPECT_EQ(gone.status, HidStatus::DeviceNotConnected);
    }
}

TEST(HidrawUdevRule, MatchesOnlyDescriptorsWithTheVendorPage)
{
    QFile rules(QStringLiteral(HKT75_SOURCE_DIR "/data/70-hkt75.rules"));
    ASSERT_TRUE(rules.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(rules.readAll());
    const auto m = QRegularExpression(QStringLiteral("^SUBSYSTEM==\"hidraw\".*PROGRAM=\"([^\"]*)\".*"
                                                     "TAG\\+=\"uaccess\"$"),
                                      QRegularExpression::MultilineOption)
                       .match(text);
    ASSERT_TRUE(m.hasMatch());

    FakeSysfs fs;
    BuildMachine(fs);
    struct Case {
        const char *node;
        int exitCode;
    };
    // hidraw10 carries the vendor collection third; hidraw0 is a plain mouse.
    for (const Case &c : {Case{"hidraw10", 0}, Case{"hidraw2", 0}, Case{"hidraw0", 1}}) {
        SCOPED_TRACE(c.node);
        QStringList command = m.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        ASSERT_FALSE(command.isEmpty());
        // udev substitutes %p with the device path below /sys, and finds a
        // program named without a path in its own folder (here: the build's).
        for (QString &word : command)
            word.replace(QStringLiteral("/sys%p"), fs.sys + QStringLiteral("/class/hidraw/") + QLatin1String(c.node));
        if (!command[0].contains(QLatin1Char('/')))
            command[0] = QStringLiteral(HKT75_BIN_DIR "/") + command[0];
        QProcess program;
        program.start(command[0], command.mid(1));
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitCode(), c.exitCode);
    }
}

namespace {
QStringList g_warnings;
void CollectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        g_warnings << message;
}
} // namespace

TEST(HidrawBackend, PermissionProblemIsReportedOnceAsSuch)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens any node; the permission path needs an ordinary user";
    FakeSysfs fs;
    BuildMachine(fs);
    const QString node = fs.dev + QStringLiteral("/hidraw10");
    ASSERT_TRUE(QFile::setPermissions(node, QFileDevice::Permissions()));
    auto backend = MakeHidrawBackend(fs.sys, fs.dev);
    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(CollectWarnings);
    const HidOpenResult first = backend->open(node, 2);
    const HidOpenResult second = backend->open(node, 2);
    qInstallMessageHandler(previous);
    EXPECT_EQ(first.status, HidStatus::AccessDenied);
    EXPECT_EQ(second.status, HidStatus::AccessDenied);
    ASSERT_EQ(g_warnings.size(), 1);
    EXPECT_TRUE(g_warnings[0].contains(QStringLiteral("no permission to open ") + node));
    EXPECT_TRUE(g_warnings[0].contains(QStringLiteral("70-hkt75.rules")));
}

TEST(UdevDeviceChangeSource, StartsOrDeclinesAndStopsCleanly)
{
    // Containers may refuse the netlink socket; either way no event is
    // invented and destruction releases the monitor.
    int events = 0;
    {
        auto source = MakeHidrawBackend()->createChangeSource();
        ASSERT_TRUE(source);
        source->start([&](const DeviceChangeEvent &) { ++events; });
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(events, 0);
}
