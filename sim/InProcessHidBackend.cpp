#include "sim/InProcessHidBackend.h"

#include "sim/DeviceIdentity.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace hkt::sim {

namespace {

using namespace hkt::platform;

const QString kPrefix = QStringLiteral("sim:inproc");
constexpr std::size_t kInputQueueLimit = 64; // as a hidraw node's queue

class InProcessDevice final : public HidDevice {
public:
    InProcessDevice(std::shared_ptr<VirtualMouse> mouse, bool vendor)
        : mouse_(std::move(mouse)), vendor_(vendor), ready_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
        listener_ = mouse_->AddListener([this](const MouseEvent &e) { OnEvent(e); });
    }
    ~InProcessDevice() override
    {
        mouse_->RemoveListener(listener_);
        if (ready_ >= 0)
            ::close(ready_);
    }

    std::uint32_t setFeature(std::span<const std::uint8_t> report) override
    {
        if (gone_)
            return HidStatus::DeviceNotConnected;
        if (!vendor_)
            return HidStatus::GenFailure;
        return mouse_->SetFeature(report);
    }

    std::uint32_t getFeature(std::span<std::uint8_t> report, std::size_t &received) override
    {
        received = 0;
        if (gone_)
            return HidStatus::DeviceNotConnected;
        if (!vendor_)
            return HidStatus::GenFailure;
        return mouse_->GetFeature(report, &received);
    }

    std::uint32_t write(std::span<const std::uint8_t>) override
    {
        return gone_ ? HidStatus::DeviceNotConnected : HidStatus::GenFailure; // no output report
    }

    HidReadResult read(std::span<std::uint8_t> buffer, const HidWake &wake) override
    {
        for (;;) {
            // Drain the signal before looking at the queue: a report queued
            // after the look signals again and ends the poll below.
            std::uint64_t v;
            [[maybe_unused]] ssize_t got = ::read(ready_, &v, sizeof v);
            {
                std::lock_guard lock(m_);
                if (!queue_.empty()) {
                    const std::vector<std::uint8_t> rep = std::move(queue_.front());
                    queue_.pop_front();
                    const std::size_t n = std::min(buffer.size(), rep.size());
                    std::memcpy(buffer.data(), rep.data(), n);
                    return {HidReadResult::Kind::Report, HidStatus::Ok, n};
                }
                if (gone_)
                    return {HidReadResult::Kind::Gone, HidStatus::DeviceNotConnected, 0};
            }
            pollfd p[2] = {{ready_, POLLIN, 0}, {wake.fd(), POLLIN, 0}};
            const int r = ::poll(p, wake.fd() >= 0 ? 2 : 1, -1);
            if (r < 0 && errno != EINTR)
                return {HidReadResult::Kind::Error, HidStatus::GenFailure, 0};
            if (wake.fd() >= 0 && (p[1].revents & POLLIN))
                return {HidReadResult::Kind::Woken, HidStatus::OperationAborted, 0};
        }
    }

private:
    void OnEvent(const MouseEvent &e)
    {
        {
            std::lock_guard lock(m_);
            if (e.type == MouseEvent::Type::Input) {
                if (!vendor_ || gone_)
                    return;
                if (queue_.size() >= kInputQueueLimit)
                    queue_.pop_front();
                queue_.push_back(e.bytes);
            } else if (e.type == MouseEvent::Type::Unplugged) {
                gone_ = true;
            } else {
                return;
            }
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(ready_, &one, sizeof one);
    }

    std::shared_ptr<VirtualMouse> mouse_;
    bool vendor_;
    int ready_;
    int listener_ = 0;
    std::mutex m_;
    std::deque<std::vector<std::uint8_t>> queue_;
    std::atomic<bool> gone_{false};
};

class InProcessChangeSource final : public DeviceChangeSource {
public:
    explicit InProcessChangeSource(std::shared_ptr<VirtualMouse> mouse) : mouse_(std::move(mouse)) {}
    ~InProcessChangeSource() override
    {
        if (listener_)
            mouse_->RemoveListener(listener_);
        // Calls already queued to the context die with it.
    }

    bool start(Callback callback) override
    {
        if (listener_)
            mouse_->RemoveListener(listener_);
        context_ = std::make_unique<QObject>();
        callback_ = std::move(callback);
        QObject *ctx = context_.get();
        listener_ = mouse_->AddListener([this, ctx](const MouseEvent &e) {
            if (e.type == MouseEvent::Type::Input)
                return;
            const auto kind = e.type == MouseEvent::Type::Plugged ? DeviceChangeEvent::Kind::Arrival
                                                                  : DeviceChangeEvent::Kind::Removal;
            // Events reach the creating thread through its event loop.
            QMetaObject::invokeMethod(
                ctx,
                [this, kind] {
                    for (const auto &i : SimInterfaces(kPrefix))
                        if (callback_)
                            callback_({kind, i.path});
                },
                Qt::QueuedConnection);
        });
        return true;
    }

private:
    std::shared_ptr<VirtualMouse> mouse_;
    std::unique_ptr<QObject> context_;
    Callback callback_;
    int listener_ = 0;
};

class InProcessHidBackend final : public HidBackend {
public:
    explicit InProcessHidBackend(std::shared_ptr<VirtualMouse> mouse) : mouse_(std::move(mouse)) {}

    std::vector<HidInterfaceInfo> enumerate() override
    {
        if (!mouse_->Plugged())
            return {};
        return SimInterfaces(kPrefix);
    }

    HidOpenResult open(const QString &path, int collection) override
    {
        if (!mouse_->Plugged())
            return {nullptr, HidStatus::DeviceNotConnected};
        const auto ifs = SimInterfaces(kPrefix);
        for (std::size_t i = 0; i < ifs.size(); ++i)
            if (ifs[i].path == path && collection >= 0 && std::size_t(collection) < ifs[i].collections.size())
                return {std::make_unique<InProcessDevice>(mouse_, int(i) == kVendorInterfaceIndex), HidStatus::Ok};
        return {nullptr, HidStatus::DeviceNotConnected};
    }

    std::unique_ptr<DeviceChangeSource> createChangeSource() override
    {
        return std::make_unique<InProcessChangeSource>(mouse_);
    }

private:
    std::shared_ptr<VirtualMouse> mouse_;
};

} // namespace

std::shared_ptr<hkt::platform::HidBackend> MakeInProcessHidBackend(std::shared_ptr<VirtualMouse> mouse)
{
    return std::make_shared<InProcessHidBackend>(std::move(mouse));
}

} // namespace hkt::sim
