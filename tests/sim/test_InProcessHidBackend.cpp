// The in-process backend: the same device behaviour as the socket backend,
// without a daemon.
#include "sim/InProcessHidBackend.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <thread>

using namespace hkt::platform;
using namespace hkt::sim;

namespace {
using Bytes = std::vector<std::uint8_t>;

std::unique_ptr<HidDevice> OpenVendor(HidBackend &b)
{
    const auto ifs = b.enumerate();
    if (ifs.size() != 2)
        return nullptr;
    return b.open(ifs[1].path, 0).device;
}
} // namespace

TEST(InProcessHidBackend, ReadersGetReportsAndEndOnUnplug)
{
    auto mouse = std::make_shared<VirtualMouse>();
    auto backend = MakeInProcessHidBackend(mouse);
    auto a = OpenVendor(*backend);
    auto b = OpenVendor(*backend);
    auto pointer = backend->open(backend->enumerate()[0].path, 0).device;
    ASSERT_TRUE(a && b && pointer);
    EXPECT_EQ(pointer->setFeature(Bytes(16, 2)), HidStatus::GenFailure);

    // A reader blocked before the report arrives gets it.
    Bytes got;
    std::thread reader([&] {
        HidWake wake;
        Bytes buf(8);
        const auto r = a->read(buf, wake);
        if (r.kind == HidReadResult::Kind::Report)
            got.assign(buf.begin(), buf.begin() + std::ptrdiff_t(r.size));
    });
    ASSERT_TRUE(mouse->SetProfile(4));
    reader.join();
    EXPECT_EQ(got, (Bytes{8, 1, 4, 0, 0, 0, 0, 0}));

    HidWake wake;
    Bytes buf(8);
    ASSERT_EQ(b->read(buf, wake).kind, HidReadResult::Kind::Report);
    EXPECT_EQ(buf, (Bytes{8, 1, 4, 0, 0, 0, 0, 0}));
    wake.wake();
    EXPECT_EQ(b->read(buf, wake).kind, HidReadResult::Kind::Woken);
    wake.reset();

    mouse->Unplug();
    EXPECT_EQ(a->read(buf, wake).kind, HidReadResult::Kind::Gone);
    EXPECT_TRUE(backend->enumerate().empty());
    mouse->Plug();
    EXPECT_EQ(a->setFeature(Bytes{2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), HidStatus::DeviceNotConnected);
    auto fresh = OpenVendor(*backend);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->setFeature(Bytes{2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), HidStatus::Ok);
}

TEST(InProcessHidBackend, ChangeSourceReportsEachInterfaceOnItsThread)
{
    auto mouse = std::make_shared<VirtualMouse>();
    auto backend = MakeInProcessHidBackend(mouse);
    auto source = backend->createChangeSource();
    std::vector<DeviceChangeEvent> events;
    std::vector<std::thread::id> threads;
    ASSERT_TRUE(source->start([&](const DeviceChangeEvent &e) {
        events.push_back(e);
        threads.push_back(std::this_thread::get_id());
    }));
    std::thread([&] { mouse->Unplug(); mouse->Plug(); }).join();
    QDeadlineTimer deadline(10000);
    while (events.size() < 4 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, DeviceChangeEvent::Kind::Removal);
    EXPECT_EQ(events[0].path, QStringLiteral("sim:inproc/if0"));
    EXPECT_EQ(events[3].kind, DeviceChangeEvent::Kind::Arrival);
    EXPECT_EQ(events[3].path, QStringLiteral("sim:inproc/if1"));
    for (auto id : threads)
        EXPECT_EQ(id, std::this_thread::get_id());
    // Nothing arrives after the source is gone.
    source.reset();
    mouse->Unplug();
    QCoreApplication::processEvents();
    EXPECT_EQ(events.size(), 4u);
}
