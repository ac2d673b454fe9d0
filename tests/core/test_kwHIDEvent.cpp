#include "core/kwHIDEvent.h"
#include "support/EventLoopWait.h"
#include "support/FakeHidBackend.h"
#include "support/VMouseCommand.h"
#include "platform/SimHidBackend.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace hkt::platform;
using namespace hkt::testfixtures;
using Kind = DeviceChangeEvent::Kind;

namespace {

struct Counts {
    int arrival = 0, remove = 0, change = 0;
    QObject *sender = nullptr;
};

void Bind(TkwHIDEvent &ev, Counts &c)
{
    ev.OnDeviceArrival = [&c](QObject *s) { ++c.arrival; c.sender = s; };
    ev.OnDeviceRemove = [&c](QObject *s) { ++c.remove; c.sender = s; };
    ev.OnDeviceChange = [&c](QObject *s) { ++c.change; c.sender = s; };
}


} // namespace

TEST(HidEvent, StartupGivesOneChangeThenOneArrivalWithoutAnyDevice)
{
    auto backend = std::make_shared<FakeHidBackend>();
    TkwHIDEvent ev(nullptr, backend);
    Counts c;
    Bind(ev, c);
    EXPECT_EQ(c.change, 0);  // only once the event loop runs
    ASSERT_TRUE(WaitUntil([&] { return c.arrival == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(c.change, 1);
    EXPECT_EQ(c.arrival, 1);
    EXPECT_EQ(c.sender, &ev);
}

TEST(HidEvent, EachNodeArrivalAndRemovalRaisesItsEvent)
{
    auto backend = std::make_shared<FakeHidBackend>();
    TkwHIDEvent ev(nullptr, backend);
    Counts c;
    Bind(ev, c);
    backend->emitChange(Kind::Arrival, QStringLiteral("/dev/hidraw3"));
    backend->emitChange(Kind::Arrival, QStringLiteral("/dev/hidraw4"));
    EXPECT_EQ(c.arrival, 2);
    EXPECT_EQ(c.remove, 0);
    backend->emitChange(Kind::Removal, QStringLiteral("/dev/hidraw3"));
    EXPECT_EQ(c.remove, 1);
    EXPECT_EQ(c.arrival, 2);
    EXPECT_EQ(c.change, 3);
}

TEST(HidEvent, UnboundEventsAndThrowingHandlersChangeNothing)
{
    auto backend = std::make_shared<FakeHidBackend>();
    TkwHIDEvent ev(nullptr, backend);
    backend->emitChange(Kind::Arrival, QStringLiteral("/dev/hidraw3"));  // nothing bound
    int arrivals = 0;
    ev.OnDeviceArrival = [&](QObject *) {
        ++arrivals;
        throw std::runtime_error("handler fault");
    };
    backend->emitChange(Kind::Arrival, QStringLiteral("/dev/hidraw3"));
    backend->emitChange(Kind::Arrival, QStringLiteral("/dev/hidraw4"));
    EXPECT_EQ(arrivals, 2);
}

TEST(HidEvent, NothingIsRaisedAfterDestruction)
{
    auto backend = std::make_shared<FakeHidBackend>();
    Counts c;
    {
        TkwHIDEvent ev(nullptr, backend);
        Bind(ev, c);
    }
    backend->emitChange(Kind::Arrival, QStringLiteral("/dev/hidraw3"));
    QCoreApplication::processEvents();  // the posted start-up change goes with the object
    EXPECT_EQ(c.arrival, 0);
    EXPECT_EQ(c.change, 0);
}

// The simulated mouse's daemon started after the program, then stopped and
// started again: the notifier keeps the source that could not start, and the
// mouse arrives (and goes) each time as a replugged one would.
TEST(HidEvent, SimulatedMouseIsFoundWheneverItsDaemonComesBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString sock = dir.filePath(QStringLiteral("m.sock"));
    auto vmouse = [&](const QString &command) { return VMouseCommand(sock, {command}); };
    TkwHIDEvent ev(nullptr, MakeSimHidBackend(sock));
    Counts c;
    Bind(ev, c);
    ASSERT_TRUE(WaitUntil([&] { return c.arrival == 1; })) << "the start-up arrival";

    ASSERT_EQ(vmouse(QStringLiteral("start")), 0);
    EXPECT_TRUE(WaitUntil([&] { return c.arrival == 3; })) << "both interfaces of the late daemon";
    ASSERT_EQ(vmouse(QStringLiteral("stop")), 0);
    EXPECT_TRUE(WaitUntil([&] { return c.remove == 2; }));
    ASSERT_EQ(vmouse(QStringLiteral("start")), 0);
    EXPECT_TRUE(WaitUntil([&] { return c.arrival == 5; })) << "the restarted daemon";
    EXPECT_EQ(c.remove, 2);
    vmouse(QStringLiteral("stop"));
}
