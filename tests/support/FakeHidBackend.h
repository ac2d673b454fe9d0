#pragma once
// A scripted HID backend for the device-layer tests: nodes are declared by
// the test, feature and write calls are recorded with their bytes, answers
// and results are set per node, and input reports are pushed through a packet
// socket per node so that reads block in poll exactly as on hidraw.

#include "platform/HidBackend.h"
#include "platform/HidDescriptor.h"
#include "platform/HidrawBackend.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hkt::testfixtures {

class FakeHidBackend : public platform::HidBackend {
public:
    enum class CallKind { Set, Get, Write };
    struct Call {
        QString path;
        int collection = 0;
        CallKind kind = CallKind::Set;
        std::vector<std::uint8_t> bytes;  // what went to the device (Get: the request buffer)
    };
    struct Node {
        platform::HidInterfaceInfo info;
        int hostFd = -1;    // the node's read side; each open gets a dup
        int deviceFd = -1;  // where the test writes input reports
        std::uint32_t openStatus = platform::HidStatus::Ok;
        std::uint32_t setResult = platform::HidStatus::Ok;
        std::uint32_t getResult = platform::HidStatus::Ok;
        std::vector<std::uint8_t> getAnswer;  // bytes the device returns (may be short)
        bool present = true;
    };

    ~FakeHidBackend() override
    {
        for (auto &[path, n] : m_nodes) {
            if (n.hostFd >= 0)
                ::close(n.hostFd);
            if (n.deviceFd >= 0)
                ::close(n.deviceFd);
        }
    }

    // A node with the collections of `descriptor`; `hardwareIds[c]` for collection c.
    Node &addNode(const QString &path, const std::vector<std::uint8_t> &descriptor,
                  const std::vector<QStringList> &hardwareIds)
    {
        std::lock_guard lock(m_mutex);
        Node n;
        n.info.path = path;
        n.info.reportDescriptor = QByteArray(reinterpret_cast<const char *>(descriptor.data()),
                                             static_cast<qsizetype>(descriptor.size()));
        if (const auto d = platform::ParseHidDescriptor(descriptor))
            n.info.collections = d->collections;
        for (std::size_t c = 0; c < n.info.collections.size() && c < hardwareIds.size(); ++c)
            n.info.collections[c].hardwareIds = hardwareIds[c];
        int sv[2] = {-1, -1};
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) == 0) {
            n.hostFd = sv[0];
            n.deviceFd = sv[1];
        }
        m_order.push_back(path);
        return m_nodes[path] = std::move(n);
    }

    Node &node(const QString &path)
    {
        std::lock_guard lock(m_mutex);
        return m_nodes.at(path);
    }

    void pushInput(const QString &path, const std::vector<std::uint8_t> &report)
    {
        std::lock_guard lock(m_mutex);
        const Node &n = m_nodes.at(path);
        [[maybe_unused]] const ssize_t w = ::write(n.deviceFd, report.data(), report.size());
    }

    // The device goes: no longer enumerated, and open readers see a hang-up.
    void unplug(const QString &path)
    {
        std::lock_guard lock(m_mutex);
        Node &n = m_nodes.at(path);
        n.present = false;
        if (n.deviceFd >= 0)
            ::close(n.deviceFd);
        n.deviceFd = -1;
    }

    std::vector<Call> calls()
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    void clearCalls()
    {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
    }
    int openHandles() const { return m_openHandles.load(); }
    int opens() const { return m_opens.load(); }

    // HidBackend
    std::vector<platform::HidInterfaceInfo> enumerate() override
    {
        std::lock_guard lock(m_mutex);
        std::vector<platform::HidInterfaceInfo> out;
        for (const QString &p : m_order)
            if (m_nodes.at(p).present)
                out.push_back(m_nodes.at(p).info);
        return out;
    }

    platform::HidOpenResult open(const QString &path, int collection) override
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_nodes.find(path);
        if (it == m_nodes.end() || !it->second.present)
            return {nullptr, platform::HidStatus::DeviceNotConnected};
        Node &n = it->second;
        if (n.openStatus != platform::HidStatus::Ok)
            return {nullptr, n.openStatus};
        if (collection < 0 || static_cast<std::size_t>(collection) >= n.info.collections.size())
            return {nullptr, platform::HidStatus::InvalidParameter};
        ++m_opens;
        const bool usesIds = !n.info.collections[collection].inputReportIds.empty()
                             || !n.info.collections[collection].featureReportIds.empty();
        return {std::make_unique<Device>(*this, path, collection,
                                         platform::MakeHidrawDevice(::fcntl(n.hostFd, F_DUPFD_CLOEXEC, 0),
                                                                    n.info.collections[collection], usesIds)),
                platform::HidStatus::Ok};
    }

    class ChangeSource : public platform::DeviceChangeSource {
    public:
        explicit ChangeSource(FakeHidBackend &b) : m_backend(b) {}
        ~ChangeSource() override
        {
            std::lock_guard lock(m_backend.m_mutex);
            auto &s = m_backend.m_sources;
            s.erase(std::remove(s.begin(), s.end(), this), s.end());
        }
        bool start(Callback cb) override
        {
            m_callback = std::move(cb);
            std::lock_guard lock(m_backend.m_mutex);
            m_backend.m_sources.push_back(this);
            return true;
        }
        Callback m_callback;

    private:
        FakeHidBackend &m_backend;
    };

    std::unique_ptr<platform::DeviceChangeSource> createChangeSource() override
    {
        return std::make_unique<ChangeSource>(*this);
    }

    // Delivers an event to every started source (call on the sources' thread).
    void emitChange(platform::DeviceChangeEvent::Kind kind, const QString &path)
    {
        std::vector<ChangeSource *> sources;
        {
            std::lock_guard lock(m_mutex);
            sources = m_sources;
        }
        for (ChangeSource *s : sources)
            if (s->m_callback)
                s->m_callback({kind, path});
    }

private:
    class Device : public platform::HidDevice {
    public:
        Device(FakeHidBackend &b, QString path, int collection, std::unique_ptr<platform::HidDevice> reader)
            : m_backend(b), m_path(std::move(path)), m_collection(collection), m_reader(std::move(reader))
        {
            ++m_backend.m_openHandles;
        }
        ~Device() override { --m_backend.m_openHandles; }

        std::uint32_t setFeature(std::span<const std::uint8_t> report) override
        {
            std::lock_guard lock(m_backend.m_mutex);
            m_backend.m_calls.push_back({m_path, m_collection, CallKind::Set, {report.begin(), report.end()}});
            return m_backend.m_nodes.at(m_path).setResult;
        }
        std::uint32_t getFeature(std::span<std::uint8_t> report, std::size_t &received) override
        {
            std::lock_guard lock(m_backend.m_mutex);
            m_backend.m_calls.push_back({m_path, m_collection, CallKind::Get, {report.begin(), report.end()}});
            const Node &n = m_backend.m_nodes.at(m_path);
            received = 0;
            if (n.getResult != platform::HidStatus::Ok)
                return n.getResult;
            received = std::min(report.size(), n.getAnswer.size());
            std::copy_n(n.getAnswer.begin(), received, report.begin());
            return platform::HidStatus::Ok;
        }
        std::uint32_t write(std::span<const std::uint8_t> report) override
        {
            std::lock_guard lock(m_backend.m_mutex);
            m_backend.m_calls.push_back({m_path, m_collection, CallKind::Write, {report.begin(), report.end()}});
            return platform::HidStatus::Ok;
        }
        platform::HidReadResult read(std::span<std::uint8_t> buffer, const platform::HidWake &wake) override
        {
            return m_reader->read(buffer, wake);
        }

    private:
        FakeHidBackend &m_backend;
        QString m_path;
        int m_collection;
        std::unique_ptr<platform::HidDevice> m_reader;
    };

    std::mutex m_mutex;
    std::map<QString, Node> m_nodes;
    std::vector<QString> m_order;
    std::vector<Call> m_calls;
    std::vector<ChangeSource *> m_sources;
    std::atomic<int> m_openHandles{0};
    std::atomic<int> m_opens{0};
};

} // namespace hkt::testfixtures
