#include "platform/HidBackend.h"

#include <QTimer>
#include <QtGlobal>

#include <algorithm>

#include <mutex>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/HidrawBackend.h"
#include "platform/SimHidBackend.h"

namespace hkt::platform {

HidWake::HidWake()
    : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

HidWake::~HidWake()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void HidWake::wake()
{
    if (m_fd < 0)
        return;
    const std::uint64_t one = 1;
    // A full counter (never reached in practice) still leaves the fd readable.
    [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
}

void HidWake::reset()
{
    if (m_fd < 0)
        return;
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &value, sizeof value);
}

bool HidWake::isWoken() const
{
    if (m_fd < 0)
        return false;
    pollfd p{m_fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

RetryingChangeSource::RetryingChangeSource() : timer_(std::make_unique<QTimer>())
{
    timer_->setSingleShot(true);
    QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] { Retry(); });
}

RetryingChangeSource::~RetryingChangeSource() = default;

bool RetryingChangeSource::start(Callback callback)
{
    callback_ = std::move(callback);
    timer_->stop();
    delayMs_ = kChangeSourceRetryFirstMs;
    if (Watch(false))
        return true;
    Lost();
    return false;
}

void RetryingChangeSource::Lost()
{
    timer_->start(delayMs_);
}

void RetryingChangeSource::Retry()
{
    if (Watch(true)) {
        delayMs_ = kChangeSourceRetryFirstMs;
        return;
    }
    delayMs_ = std::min(delayMs_ * 2, kChangeSourceRetryMaxMs);
    timer_->start(delayMs_);
}

void RetryingChangeSource::Deliver(const DeviceChangeEvent &event)
{
    if (callback_)
        callback_(event);
}

namespace {

class NullChangeSource final : public DeviceChangeSource {
public:
    bool start(Callback) override { return false; }
};

class NullHidBackend final : public HidBackend {
public:
    std::vector<HidInterfaceInfo> enumerate() override { return {}; }
    HidOpenResult open(const QString &, int) override
    {
        return {nullptr, HidStatus::DeviceNotConnected};
    }
    std::unique_ptr<DeviceChangeSource> createChangeSource() override
    {
        return std::make_unique<NullChangeSource>();
    }
};

std::mutex g_backendMutex;
std::shared_ptr<HidBackend> g_backend;

std::shared_ptr<HidBackend> BackendFromEnvironment()
{
    const QString choice = qEnvironmentVariable("HKT75_HID").trimmed();
    if (choice.isEmpty() || choice == QLatin1String("hidraw")) {
        return MakeHidrawBackend();
    }
    if (choice == QLatin1String("sim") || choice.startsWith(QLatin1String("sim:"))) {
        const QString socket = choice.size() > 3 ? choice.mid(4) : QString();
        if (auto sim = MakeSimHidBackend(socket))
            return sim;
        qWarning("hkt75: HKT75_HID=%s: the simulated mouse is not reachable; no mouse will be seen",
                 qUtf8Printable(choice));
        return MakeNullHidBackend();
    }
    qWarning("hkt75: HKT75_HID=%s is not a known backend (use hidraw, sim or sim:<socket>); "
             "no mouse will be seen",
             qUtf8Printable(choice));
    return MakeNullHidBackend();
}

} // namespace

std::shared_ptr<HidBackend> MakeNullHidBackend()
{
    return std::make_shared<NullHidBackend>();
}

std::shared_ptr<HidBackend> CurrentHidBackend()
{
    std::lock_guard lock(g_backendMutex);
    if (!g_backend)
        g_backend = BackendFromEnvironment();
    return g_backend;
}

void SetCurrentHidBackend(std::shared_ptr<HidBackend> backend)
{
    std::lock_guard lock(g_backendMutex);
    g_backend = std::move(backend);
}

} // namespace hkt::platform
