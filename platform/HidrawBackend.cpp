#include "platform/HidrawBackend.h"

#include "platform/HidDescriptor.h"
#include "platform/UdevDeviceChangeSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <mutex>

#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace hkt::platform {

namespace {

constexpr std::uint16_t kBusUsb = 0x03;
// The kernel's largest HID report (HID_MAX_BUFFER_SIZE); a read never returns more.
constexpr std::size_t kMaxHidrawRead = 16384;
// HIDIOCSFEATURE/HIDIOCGFEATURE encode the length in 14 bits.
constexpr std::size_t kMaxIoctlLength = (1u << 14) - 1;

QString Hex(unsigned value, int width)
{
    return QStringLiteral("%1").arg(value, width, 16, QLatin1Char('0')).toUpper();
}

QByteArray ReadSmallFile(const QString &path, qint64 limit)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(limit);
}

std::optional<unsigned> ReadHexAttribute(const QString &path)
{
    bool ok = false;
    const unsigned v = QString::fromLatin1(ReadSmallFile(path, 64)).trimmed().toUInt(&ok, 16);
    return ok ? std::optional<unsigned>(v) : std::nullopt;
}

std::optional<unsigned> ReadDecAttribute(const QString &path)
{
    bool ok = false;
    const unsigned v = QString::fromLatin1(ReadSmallFile(path, 64)).trimmed().toUInt(&ok, 10);
    return ok ? std::optional<unsigned>(v) : std::nullopt;
}

std::uint32_t WindowsCodeForErrno(int err)
{
    switch (err) {
    case EACCES:
    case EPERM: return HidStatus::AccessDenied;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ESHUTDOWN: return HidStatus::DeviceNotConnected;
    case EINVAL:
    case EFAULT: return HidStatus::InvalidParameter;
    case EBADF: return HidStatus::InvalidHandle;
    default: return HidStatus::GenFailure;  // EIO, EPIPE, ETIMEDOUT, EPROTO: the device refused
    }
}

int NodeNumber(const QString &name)
{
    bool ok = false;
    const int n = name.mid(6).toInt(&ok);  // "hidrawN"
    return ok ? n : -1;
}

class HidrawDevice final : public HidDevice {
public:
    HidrawDevice(int fd, HidCollectionInfo collection, bool usesReportIds)
        : m_fd(fd), m_collection(std::move(collection)), m_usesReportIds(usesReportIds)
    {
    }
    ~HidrawDevice() override { ::close(m_fd); }

    std::uint32_t setFeature(std::span<const std::uint8_t> report) override
    {
        if (report.empty() || report.size() > kMaxIoctlLength)
            return HidStatus::InvalidParameter;
        std::vector<std::uint8_t> buf(report.begin(), report.end());
        const int r = ::ioctl(m_fd, HIDIOCSFEATURE(buf.size()), buf.data());
        if (r < 0)
            return WindowsCodeForErrno(errno);
        return static_cast<std::size_t>(r) == buf.size() ? HidStatus::Ok : HidStatus::GenFailure;
    }

    std::uint32_t getFeature(std::span<std::uint8_t> report, std::size_t &received) override
    {
        received = 0;
        if (report.empty() || report.size() > kMaxIoctlLength)
            return HidStatus::InvalidParameter;
        const int r = ::ioctl(m_fd, HIDIOCGFEATURE(report.size()), report.data());
        if (r < 0)
            return WindowsCodeForErrno(errno);
        received = std::min<std::size_t>(static_cast<std::size_t>(r), report.size());
        return HidStatus::Ok;
    }

    std::uint32_t write(std::span<const std::uint8_t> report) override
    {
        if (report.empty())
            return HidStatus::InvalidParameter;
        while (true) {
            const ssize_t r = ::write(m_fd, report.data(), report.size());
            if (r >= 0)
                return static_cast<std::size_t>(r) == report.size() ? HidStatus::Ok : HidStatus::GenFailure;
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {  // the node is non-blocking: wait for room
                pollfd p{m_fd, POLLOUT, 0};
                if (::poll(&p, 1, 1000) > 0 && (p.revents & POLLOUT))
                    continue;
                return HidStatus::GenFailure;
            }
            return WindowsCodeForErrno(errno);
        }
    }

    HidReadResult read(std::span<std::uint8_t> buffer, const HidWake &wake) override
    {
        const std::size_t length = m_collection.inputReportByteLength;
        if (length == 0 || buffer.size() < length)
            return {HidReadResult::Kind::Error, HidStatus::InvalidParameter, 0};
        // Kept between reads: a reader calls this once per report.
        std::vector<std::uint8_t> &raw = m_raw;
        raw.resize(kMaxHidrawRead);
        while (true) {
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {wake.fd(), POLLIN, 0}};
            const int n = ::poll(fds, wake.fd() >= 0 ? 2 : 1, -1);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return {HidReadResult::Kind::Error, WindowsCodeForErrno(errno), 0};
            }
            if (wake.fd() >= 0 && (fds[1].revents & POLLIN))
                return {HidReadResult::Kind::Woken, HidStatus::OperationAborted, 0};
            // hidraw signals a node whose device went away with POLLERR|POLLHUP.
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
                return {HidReadResult::Kind::Gone, HidStatus::DeviceNotConnected, 0};
            if (!(fds[0].revents & POLLIN))
                continue;
            const ssize_t r = ::read(m_fd, raw.data(), raw.size());
            if (r < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;
                if (errno == EIO || errno == ENODEV)
                    return {HidReadResult::Kind::Gone, HidStatus::DeviceNotConnected, 0};
                return {HidReadResult::Kind::Error, WindowsCodeForErrno(errno), 0};
            }
            if (r == 0)
                continue;
            const std::span<const std::uint8_t> got(raw.data(), static_cast<std::size_t>(r));
            // A node carries every collection of its interface: keep this one's.
            if (m_usesReportIds
                && std::find(m_collection.inputReportIds.begin(), m_collection.inputReportIds.end(), got[0])
                       == m_collection.inputReportIds.end())
                continue;
            // Windows form: an ID byte always (0 without IDs), padded to the
            // collection's input length.
            std::fill(buffer.begin(), buffer.begin() + length, 0);
            std::size_t at = 0;
            if (!m_usesReportIds)
                buffer[at++] = 0;
            const std::size_t take = std::min(got.size(), length - at);
            std::copy_n(got.begin(), take, buffer.begin() + at);
            return {HidReadResult::Kind::Report, HidStatus::Ok, length};
        }
    }

private:
    int m_fd;
    HidCollectionInfo m_collection;
    bool m_usesReportIds;
    std::vector<std::uint8_t> m_raw;
};

class HidrawBackend final : public HidBackend {
public:
    HidrawBackend(QString sysRoot, QString devRoot)
        : m_sysRoot(std::move(sysRoot)), m_devRoot(std::move(devRoot))
    {
    }

    std::vector<HidInterfaceInfo> enumerate() override
    {
        std::vector<HidInterfaceInfo> nodes = m_sysRoot.isEmpty() ? enumerateUdev()
                                                                  : EnumerateHidrawSysfs(m_sysRoot, m_devRoot);
        std::lock_guard lock(m_mutex);
        m_known.clear();
        for (const HidInterfaceInfo &n : nodes)
            m_known.insert(n.path, n);
        return nodes;
    }

    HidOpenResult open(const QString &path, int collection) override
    {
        std::optional<HidInterfaceInfo> node = known(path);
        if (!node) {
            enumerate();
            node = known(path);
        }
        if (!node)
            return {nullptr, HidStatus::DeviceNotConnected};
        if (collection < 0 || static_cast<std::size_t>(collection) >= node->collections.size())
            return {nullptr, HidStatus::InvalidParameter};
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            const std::uint32_t code = WindowsCodeForErrno(errno);
            if (code == HidStatus::AccessDenied)
                reportPermissionProblem(*node);
            return {nullptr, code};
        }
        const bool usesIds = !node->collections[collection].inputReportIds.empty()
                             || !node->collections[collection].featureReportIds.empty()
                             || !node->collections[collection].outputReportIds.empty();
        return {MakeHidrawDevice(fd, node->collections[collection], usesIds), HidStatus::Ok};
    }

    std::unique_ptr<DeviceChangeSource> createChangeSource() override
    {
        return MakeUdevDeviceChangeSource();
    }

private:
    std::optional<HidInterfaceInfo> known(const QString &path)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_known.constFind(path);
        if (it == m_known.constEnd())
            return std::nullopt;
        return *it;
    }

    void reportPermissionProblem(const HidInterfaceInfo &node)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_reported.contains(node.path))
                return;
            m_reported.insert(node.path);
        }
        qWarning("hkt75: no permission to open %s (HID device %04X:%04X). The mouse is present but "
                 "this user may not use it: install 70-hkt75.rules into /etc/udev/rules.d/, then run "
                 "'udevadm control --reload' and 'udevadm trigger', or replug the mouse.",
                 qUtf8Printable(node.path), node.vendorId, node.productId);
    }

    std::vector<HidInterfaceInfo> enumerateUdev()
    {
        std::vector<HidInterfaceInfo> nodes;
        udev *u = udev_new();
        if (!u)
            return nodes;
        udev_enumerate *e = udev_enumerate_new(u);
        if (e && udev_enumerate_add_match_subsystem(e, "hidraw") >= 0 && udev_enumerate_scan_devices(e) >= 0) {
            udev_list_entry *entry = nullptr;
            udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
            {
                const char *syspath = udev_list_entry_get_name(entry);
                udev_device *dev = udev_device_new_from_syspath(u, syspath);
                if (!dev)
                    continue;
                const char *devnode = udev_device_get_devnode(dev);
                if (devnode) {
                    if (auto info = DescribeHidrawNode(QString::fromLocal8Bit(syspath),
                                                       QString::fromLocal8Bit(devnode)))
                        nodes.push_back(std::move(*info));
                }
                udev_device_unref(dev);
            }
        }
        if (e)
            udev_enumerate_unref(e);
        udev_unref(u);
        std::sort(nodes.begin(), nodes.end(), [](const HidInterfaceInfo &a, const HidInterfaceInfo &b) {
            return NodeNumber(QFileInfo(a.path).fileName()) < NodeNumber(QFileInfo(b.path).fileName());
        });
        return nodes;
    }

    const QString m_sysRoot;  // empty: the system through libudev
    const QString m_devRoot;
    std::mutex m_mutex;
    QHash<QString, HidInterfaceInfo> m_known;
    QSet<QString> m_reported;
};

} // namespace

QStringList WindowsHardwareIds(std::uint16_t vendorId, std::uint16_t productId,
                               std::optional<std::uint16_t> revision, int interfaceNumber,
                               bool composite, int collection, std::uint16_t usagePage,
                               std::uint16_t usage)
{
    const QString base = QStringLiteral("HID\\VID_%1&PID_%2").arg(Hex(vendorId, 4), Hex(productId, 4));
    QString suffix;
    if (composite && interfaceNumber >= 0)
        suffix += QStringLiteral("&MI_%1").arg(Hex(static_cast<unsigned>(interfaceNumber) & 0xFF, 2));
    if (collection >= 0)
        suffix += QStringLiteral("&Col%1").arg(Hex(static_cast<unsigned>(collection + 1) & 0xFF, 2));
    QStringList ids;
    if (revision)
        ids << base + QStringLiteral("&REV_%1").arg(Hex(*revision, 4)) + suffix;
    ids << base + suffix;
    if (usagePage == 0x0001 && usage == 0x0002)
        ids << QStringLiteral("HID_DEVICE_SYSTEM_MOUSE");
    else if (usagePage == 0x0001 && usage == 0x0006)
        ids << QStringLiteral("HID_DEVICE_SYSTEM_KEYBOARD");
    ids << QStringLiteral("HID_DEVICE_UP:%1_U:%2").arg(Hex(usagePage, 4), Hex(usage, 4));
    ids << QStringLiteral("HID_DEVICE");
    return ids;
}

std::optional<HidInterfaceInfo> DescribeHidrawNode(const QString &classEntry, const QString &devNode)
{
    // <entry>/device is the HID device; its uevent names bus, vendor, product.
    const QString hidDevice = QFileInfo(classEntry + QStringLiteral("/device")).canonicalFilePath();
    if (hidDevice.isEmpty())
        return std::nullopt;
    unsigned bus = 0, vendor = 0, product = 0;
    bool haveId = false;
    for (const QByteArray &line : ReadSmallFile(hidDevice + QStringLiteral("/uevent"), 8192).split('\n')) {
        if (!line.startsWith("HID_ID="))
            continue;
        const QList<QByteArray> parts = line.mid(7).split(':');
        if (parts.size() != 3)
            break;
        bool ok1 = false, ok2 = false, ok3 = false;
        bus = parts[0].toUInt(&ok1, 16);
        vendor = parts[1].toUInt(&ok2, 16);
        product = parts[2].toUInt(&ok3, 16);
        haveId = ok1 && ok2 && ok3 && vendor <= 0xFFFF && product <= 0xFFFF;
        break;
    }
    if (!haveId)
        return std::nullopt;

    HidInterfaceInfo info;
    info.path = devNode;
    info.vendorId = static_cast<std::uint16_t>(vendor);
    info.productId = static_cast<std::uint16_t>(product);

    // A USB HID device sits below its USB interface, which sits below the
    // USB device: interface number from the one, revision and the number of
    // interfaces (composite or not) from the other.
    std::optional<std::uint16_t> revision;
    bool composite = false;
    if (bus == kBusUsb) {
        const QString usbInterface = QFileInfo(hidDevice).path();
        const QString usbDevice = QFileInfo(usbInterface).path();
        if (const auto n = ReadHexAttribute(usbInterface + QStringLiteral("/bInterfaceNumber")); n && *n <= 0xFF)
            info.interfaceNumber = static_cast<int>(*n);
        if (const auto r = ReadHexAttribute(usbDevice + QStringLiteral("/bcdDevice")); r && *r <= 0xFFFF) {
            revision = static_cast<std::uint16_t>(*r);
            info.versionNumber = *revision;
        }
        if (const auto n = ReadDecAttribute(usbDevice + QStringLiteral("/bNumInterfaces")))
            composite = *n > 1;
    }

    info.reportDescriptor = ReadSmallFile(hidDevice + QStringLiteral("/report_descriptor"),
                                          static_cast<qint64>(kHidMaxDescriptorSize) + 1);
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(info.reportDescriptor.constData());
    if (const auto parsed = ParseHidDescriptor({bytes, static_cast<std::size_t>(info.reportDescriptor.size())})) {
        info.collections = parsed->collections;
        const bool several = info.collections.size() > 1;
        for (std::size_t c = 0; c < info.collections.size(); ++c) {
            HidCollectionInfo &col = info.collections[c];
            col.hardwareIds = WindowsHardwareIds(info.vendorId, info.productId, revision, info.interfaceNumber,
                                                 composite, several ? static_cast<int>(c) : -1, col.usagePage,
                                                 col.usage);
        }
    }
    return info;
}

std::vector<HidInterfaceInfo> EnumerateHidrawSysfs(const QString &sysRoot, const QString &devRoot)
{
    std::vector<HidInterfaceInfo> nodes;
    const QDir classDir(sysRoot + QStringLiteral("/class/hidraw"));
    QStringList names = classDir.entryList({QStringLiteral("hidraw*")}, QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return NodeNumber(a) < NodeNumber(b); });
    for (const QString &name : names) {
        if (NodeNumber(name) < 0)
            continue;
        if (auto info = DescribeHidrawNode(classDir.filePath(name), devRoot + QLatin1Char('/') + name))
            nodes.push_back(std::move(*info));
    }
    return nodes;
}

std::unique_ptr<HidDevice> MakeHidrawDevice(int fd, HidCollectionInfo collection, bool usesReportIds)
{
    return std::make_unique<HidrawDevice>(fd, std::move(collection), usesReportIds);
}

std::shared_ptr<HidBackend> MakeHidrawBackend()
{
    return std::make_shared<HidrawBackend>(QString(), QString());
}

std::shared_ptr<HidBackend> MakeHidrawBackend(const QString &sysRoot, const QString &devRoot)
{
    return std::make_shared<HidrawBackend>(sysRoot, devRoot);
}

} // namespace hkt::platform
