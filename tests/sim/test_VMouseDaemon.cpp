// The simulated mouse served on a socket, reached through the sim HID backend
// that both programs use, and through the daemon's command line.
#include "platform/SimHidBackend.h"
#include "support/ReportBytes.h"
#include "support/PrivateSession.h"
#include "support/VMouseCommand.h"
#include "platform/SimWire.h"
#include "sim/DeviceIdentity.h"
#include "sim/VMouseControl.h"
#include "sim/VMouseServer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <thread>

#include <QDir>
#include <QFile>

#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace hkt::platform;
using namespace hkt::sim;
namespace wire = hkt::platform::simwire;

namespace {

using hkt::test::Bytes;
using hkt::test::Report;

class Daemon : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        socket_ = dir_.filePath(QStringLiteral("vmouse.sock"));
        server_ = std::make_unique<VMouseServer>();
        server_->Mouse().SetStrict(true);
        QString error;
        ASSERT_TRUE(server_->Listen(socket_, &error)) << qPrintable(error);
        thread_ = std::thread([this] { server_->Run(); });
    }
    void TearDown() override
    {
        if (server_) {
            server_->Stop();
            if (thread_.joinable())
                thread_.join();
            EXPECT_TRUE(server_->Mouse().Violations().empty())
                << server_->Mouse().Violations().front().what;
        }
    }
    std::uint32_t Control(wire::Type t, std::uint32_t arg = 0)
    {
        auto r = ControlRequest(socket_, wire::Message{t, 0, arg, {}});
        return r ? r->status : 0xFFFFFFFFu;
    }
    // Opens the vendor collection of the mouse as a program would find it.
    std::unique_ptr<HidDevice> OpenVendor(HidBackend &b)
    {
        for (const auto &i : b.enumerate())
            for (std::size_t c = 0; c < i.collections.size(); ++c)
                if (i.collections[c].usagePage == 0xFFA0 && i.collections[c].usage == 1) {
                    auto r = b.open(i.path, int(c));
                    EXPECT_EQ(r.status, HidStatus::Ok);
                    return std::move(r.device);
                }
        return nullptr;
    }

    QTemporaryDir dir_;
    QString socket_;
    std::unique_ptr<VMouseServer> server_;
    std::thread thread_;
};

// Reads one report on a reader thread's terms: blocks until it comes.
Bytes ReadOne(HidDevice &d)
{
    HidWake wake;
    Bytes buf(64, 0xEE);
    const HidReadResult r = d.read(buf, wake);
    if (r.kind != HidReadResult::Kind::Report)
        return {};
    buf.resize(r.size);
    return buf;
}

} // namespace

TEST_F(Daemon, EnumerationShowsBothInterfacesAsTheProgramsExpect)
{
    auto backend = MakeSimHidBackend(socket_);
    const auto ifs = backend->enumerate();
    ASSERT_EQ(ifs.size(), 2u);
    EXPECT_EQ(ifs[1].path, socket_ + QStringLiteral("/if1"));
    EXPECT_EQ(ifs[1].vendorId, 0x1209);
    ASSERT_EQ(ifs[1].collections.size(), 1u);
    EXPECT_EQ(ifs[1].collections[0].featureReportByteLength, 4096);
    EXPECT_EQ(ifs[1].collections[0].hardwareIds.front(), QStringLiteral("HID\\VID_1209&PID_0001&REV_0100&MI_01"));
    EXPECT_EQ(ifs[1].reportDescriptor.size(), qsizetype(VendorReportDescriptor().size()));
    // An unknown path or collection is not a device.
    EXPECT_EQ(backend->open(QStringLiteral("nowhere"), 0).status, HidStatus::DeviceNotConnected);
    EXPECT_EQ(backend->open(ifs[1].path, 1).status, HidStatus::DeviceNotConnected);
}

TEST_F(Daemon, TwoClientsShareOneMouse)
{
    auto a = MakeSimHidBackend(socket_);
    auto b = MakeSimHidBackend(socket_);
    auto da = OpenVendor(*a);
    auto db = OpenVendor(*b);
    ASSERT_TRUE(da && db);
    // A writes active profile 3; B reads it back.
    EXPECT_EQ(da->setFeature(Report({0x02, 0x02, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x03}, 16)), HidStatus::Ok);
    EXPECT_EQ(db->setFeature(Report({0x02, 0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA}, 16)), HidStatus::Ok);
    Bytes answer = Report({0x02}, 16);
    std::size_t received = 0;
    EXPECT_EQ(db->getFeature(answer, received), HidStatus::Ok);
    EXPECT_EQ(received, 16u);
    EXPECT_EQ(answer[8], 3);
    EXPECT_EQ(server_->Mouse().Dump(0x43, 1), Bytes{3});
    // The mouse has no output report.
    EXPECT_NE(da->write(Report({0x02}, 16)), HidStatus::Ok);
}

TEST_F(Daemon, OnMouseChangesReachEveryReader)
{
    auto a = MakeSimHidBackend(socket_);
    auto b = MakeSimHidBackend(socket_);
    auto ra = OpenVendor(*a);
    auto rb = OpenVendor(*b);
    ASSERT_TRUE(ra && rb);
    ASSERT_EQ(Control(wire::Type::Press, 8), 0u);
    ASSERT_EQ(Control(wire::Type::Profile, 2), 0u);
    ASSERT_EQ(Control(wire::Type::Dpi, 4), 0u);
    ASSERT_EQ(Control(wire::Type::Rate, 8), 0u);
    EXPECT_EQ(Control(wire::Type::Rate, 3), HidStatus::InvalidParameter);
    const std::vector<Bytes> expected = {
        {7, 0, 1, 0, 0, 0, 0, 0}, {7, 0, 0, 0, 0, 0, 0, 0}, {8, 1, 2, 0, 0, 0, 0, 0},
        {8, 2, 4, 0, 0, 0, 0, 0}, {8, 6, 8, 0, 0, 0, 0, 0},
    };
    for (HidDevice *d : {ra.get(), rb.get()})
        for (const Bytes &e : expected)
            EXPECT_EQ(ReadOne(*d), e);
    EXPECT_EQ(server_->Mouse().Dump(2 * 256 + 0x50, 1), Bytes{4});
    EXPECT_EQ(server_->Mouse().Dump(0x48 + 2, 1), Bytes{8});
}

TEST_F(Daemon, WakeEndsABlockedRead)
{
    auto backend = MakeSimHidBackend(socket_);
    auto d = OpenVendor(*backend);
    ASSERT_TRUE(d);
    HidWake wake;
    HidReadResult r;
    std::thread reader([&] {
        Bytes buf(8);
        r = d->read(buf, wake);
    });
    wake.wake();
    reader.join();
    EXPECT_EQ(r.kind, HidReadResult::Kind::Woken);
}

TEST_F(Daemon, UnplugEndsReadersAndPlugBringsTheMouseBack)
{
    auto backend = MakeSimHidBackend(socket_);
    auto source = backend->createChangeSource();
    std::vector<DeviceChangeEvent> events;
    ASSERT_TRUE(source->start([&events](const DeviceChangeEvent &e) { events.push_back(e); }));
    auto d = OpenVendor(*backend);
    ASSERT_TRUE(d);

    ASSERT_EQ(Control(wire::Type::Unplug), 0u);
    HidWake wake;
    Bytes buf(8);
    const HidReadResult r = d->read(buf, wake);
    EXPECT_EQ(r.kind, HidReadResult::Kind::Gone);
    EXPECT_EQ(r.status, HidStatus::DeviceNotConnected);
    EXPECT_TRUE(backend->enumerate().empty());
    EXPECT_EQ(d->setFeature(Report({0x02, 0x01, 0x01}, 16)), HidStatus::DeviceNotConnected);

    ASSERT_EQ(Control(wire::Type::Plug), 0u);
    QDeadlineTimer deadline(10000);
    while (events.size() < 4 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, DeviceChangeEvent::Kind::Removal);
    EXPECT_EQ(events[1].kind, DeviceChangeEvent::Kind::Removal);
    EXPECT_EQ(events[2].kind, DeviceChangeEvent::Kind::Arrival);
    EXPECT_EQ(events[3].path, socket_ + QStringLiteral("/if1"));
    // The handle of the removed device stays dead; a new open works.
    EXPECT_EQ(d->setFeature(Report({0x02, 0x01, 0x01}, 16)), HidStatus::DeviceNotConnected);
    auto again = OpenVendor(*backend);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->setFeature(Report({0x02, 0x01, 0x01}, 16)), HidStatus::Ok);
}

TEST_F(Daemon, FailAfterFailsTheChosenTransfer)
{
    auto backend = MakeSimHidBackend(socket_);
    auto d = OpenVendor(*backend);
    ASSERT_TRUE(d);
    ASSERT_EQ(Control(wire::Type::FailAfter, 1), 0u);
    const Bytes refresh = Report({0x02, 0x01, 0x01}, 16);
    EXPECT_EQ(d->setFeature(refresh), HidStatus::Ok);
    EXPECT_EQ(d->setFeature(refresh), HidStatus::GenFailure);
    EXPECT_EQ(d->setFeature(refresh), HidStatus::Ok);
}

TEST_F(Daemon, NoDaemonLooksLikeNoMouse)
{
    auto backend = MakeSimHidBackend(dir_.filePath(QStringLiteral("absent.sock")));
    EXPECT_TRUE(backend->enumerate().empty());
    EXPECT_EQ(backend->open(socket_ + QStringLiteral("/if1"), 0).status, HidStatus::DeviceNotConnected);
    EXPECT_FALSE(backend->createChangeSource()->start([](const DeviceChangeEvent &) {}));
}

TEST_F(Daemon, ASecondDaemonOnALiveSocketIsRefused)
{
    VMouseServer other;
    QString error;
    EXPECT_FALSE(other.Listen(socket_, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("already runs")));
}

TEST(DaemonProgram, CommandLineDrivesTheDaemon)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString exe = QStringLiteral(HKT75_BIN_DIR "/hkt75-vmouse");
    const QString sock = dir.filePath(QStringLiteral("m.sock"));
    auto run = [&](QStringList args, QByteArray *out = nullptr) {
        QProcess p;
        p.start(exe, QStringList{QStringLiteral("--socket"), sock} + args);
        EXPECT_TRUE(p.waitForFinished(10000));
        if (out)
            *out = p.readAllStandardOutput();
        return p.exitCode();
    };
    ASSERT_EQ(run({QStringLiteral("start")}), 0);
    EXPECT_EQ(run({QStringLiteral("start")}), 0); // already running: still fine
    auto backend = MakeSimHidBackend(sock);
    EXPECT_EQ(backend->enumerate().size(), 2u);
    EXPECT_EQ(run({QStringLiteral("press"), QStringLiteral("0")}), 0);
    EXPECT_EQ(run({QStringLiteral("press"), QStringLiteral("24")}), 1);
    EXPECT_EQ(run({QStringLiteral("bogus")}), 2);
    QByteArray out;
    EXPECT_EQ(run({QStringLiteral("dump"), QStringLiteral("0x4F"), QStringLiteral("2")}, &out), 0);
    EXPECT_EQ(out, QByteArray("004F: 05 00\n"));
    EXPECT_EQ(run({QStringLiteral("log")}, &out), 0);
    EXPECT_TRUE(out.contains("input status=0 len=8: 07 01 +6x00")) << out.constData();
    EXPECT_EQ(run({QStringLiteral("stop")}), 0);
    QDeadlineTimer deadline(10000);
    while (!backend->enumerate().empty() && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(backend->enumerate().empty());
    EXPECT_EQ(run({QStringLiteral("log")}), 1);
}

// A process of another user never drives the mouse, even when it can reach
// the socket file.
TEST_F(Daemon, PeersOfAnotherUserAreRefused)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
    ::chmod(QFile::encodeName(socket_).constData(), 0666);
    const QByteArray path = QFile::encodeName(socket_);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path.constData(), std::size_t(path.size()));
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0)
            ::_exit(4);
        const QByteArray req = wire::Encode(wire::Message{wire::Type::Unplug, 0, 0, {}});
        [[maybe_unused]] ssize_t n = ::send(fd, req.constData(), std::size_t(req.size()), MSG_NOSIGNAL);
        char buf[64];
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 10000);
        // Refused: the daemon closed the connection without a reply (an end
        // of stream, or a reset when it closed before reading our request).
        ::_exit(::recv(fd, buf, sizeof buf, 0) <= 0 ? 0 : 5);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(server_->Mouse().Plugged());
}

// The daemon started after the program, stopped and started again: the
// program's change source finds the mouse each time it comes back and
// reports it as a replugged mouse, its interfaces removed while it is gone.
TEST(DaemonProgram, ChangeSourceFindsTheMouseWheneverItsDaemonComesBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString sock = dir.filePath(QStringLiteral("m.sock"));
    auto run = [&](const QString &command) { return hkt::testfixtures::VMouseCommand(sock, {command}); };
    auto backend = MakeSimHidBackend(sock);
    auto source = backend->createChangeSource();
    std::vector<DeviceChangeEvent> events;
    EXPECT_FALSE(source->start([&events](const DeviceChangeEvent &e) { events.push_back(e); }))
        << "no daemon yet";
    auto waitFor = [&events](std::size_t n) {
        QDeadlineTimer deadline(15000);
        while (events.size() < n && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return events.size() >= n;
    };
    const std::vector<QString> paths = {sock + QStringLiteral("/if0"), sock + QStringLiteral("/if1")};
    auto expectKind = [&](std::size_t from, DeviceChangeEvent::Kind kind) {
        std::vector<QString> got;
        for (std::size_t i = from; i < from + 2; ++i) {
            EXPECT_EQ(events[i].kind, kind) << i;
            got.push_back(events[i].path);
        }
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, paths);
    };

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const std::size_t before = events.size();
        ASSERT_EQ(run(QStringLiteral("start")), 0);
        ASSERT_TRUE(waitFor(before + 2)) << "the daemon's mouse was not found";
        expectKind(before, DeviceChangeEvent::Kind::Arrival);
        EXPECT_EQ(backend->enumerate().size(), 2u);
        auto d = backend->open(paths[1], 0);
        ASSERT_TRUE(d.device);
        EXPECT_EQ(d.device->setFeature(Report({0x02, 0x01, 0x01}, 16)), HidStatus::Ok);

        ASSERT_EQ(run(QStringLiteral("stop")), 0);
        ASSERT_TRUE(waitFor(before + 4)) << "the daemon's end was not noticed";
        expectKind(before + 2, DeviceChangeEvent::Kind::Removal);
        EXPECT_EQ(d.device->setFeature(Report({0x02, 0x01, 0x01}, 16)), HidStatus::DeviceNotConnected);
    }
    // Gone, it stays quiet: no event until it comes back.
    const std::size_t quiet = events.size();
    QDeadlineTimer idle(500);
    while (!idle.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(events.size(), quiet);
}

namespace {

// The hkt75-vmouse processes alive (zombies aside) whose environment holds
// `entry`: the daemons of one private session once no command runs.
std::vector<pid_t> DaemonsWith(const QByteArray &entry)
{
    std::vector<pid_t> found;
    const QByteArray exe = QFile::encodeName(QStringLiteral(HKT75_BIN_DIR "/hkt75-vmouse"));
    for (const QString &name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const pid_t pid = pid_t(name.toInt(&number));
        if (!number)
            continue;
        const QString dir = QStringLiteral("/proc/") + name;
        // A zombie has no executable link left: it is no daemon.
        if (QFile::symLinkTarget(dir + QStringLiteral("/exe")) != QFile::decodeName(exe))
            continue;
        QFile env(dir + QStringLiteral("/environ"));
        if (env.open(QIODevice::ReadOnly) && env.readAll().split('\0').contains(entry))
            found.push_back(pid);
    }
    return found;
}

} // namespace

// Twenty "start"s at once, on a fresh session and after a daemon was killed
// with its socket left behind: every one ends with 0 (starting a running
// mouse is no error), exactly one daemon runs and the mouse answers. Ten
// rounds of each.
TEST(DaemonProgram, ConcurrentStartsLeaveExactlyOneDaemonAndAllSucceed)
{
    hkt::testfixtures::PrivateSession session(QStringLiteral("/tmp/hkt-vmstart-XXXXXX"));
    ASSERT_TRUE(session.IsValid());
    const QProcessEnvironment env = session.Environment();
    const QByteArray entry = "HKT75_HID=sim:" + QFile::encodeName(session.MouseSocket());
    const QString exe = QStringLiteral(HKT75_BIN_DIR "/hkt75-vmouse");
    const QByteArray socketPath = QFile::encodeName(session.MouseSocket());
    auto gone = [&] { return DaemonsWith(entry).empty(); };
    // Whatever way the test ends, no daemon of its session outlives it.
    struct KillLeftOvers {
        const QByteArray &entry;
        ~KillLeftOvers()
        {
            for (pid_t pid : DaemonsWith(entry))
                ::kill(pid, SIGKILL);
        }
    } killLeftOvers{entry};

    for (int round = 0; round < 20; ++round) {
        const bool afterKill = round % 2 == 1;
        SCOPED_TRACE(testing::Message() << "round " << round / 2 << (afterKill ? ", after kill -9" : ", fresh"));
        if (afterKill) {
            ASSERT_EQ(hkt::testfixtures::RunProgram(env, exe, {QStringLiteral("start")}), 0);
            const auto daemons = DaemonsWith(entry);
            ASSERT_EQ(daemons.size(), 1u);
            ASSERT_EQ(::kill(daemons[0], SIGKILL), 0);
            ASSERT_TRUE(hkt::testfixtures::WaitFor(gone));
            struct stat st {};
            ASSERT_EQ(::lstat(socketPath.constData(), &st), 0) << "the killed daemon left no socket";
            ASSERT_TRUE(S_ISSOCK(st.st_mode));
        }

        std::vector<std::unique_ptr<QProcess>> starters;
        for (int i = 0; i < 20; ++i) {
            starters.push_back(std::make_unique<QProcess>());
            starters.back()->setProcessEnvironment(env);
            starters.back()->start(exe, {QStringLiteral("start")});
        }
        for (std::size_t i = 0; i < starters.size(); ++i) {
            QProcess &p = *starters[i];
            ASSERT_TRUE(p.waitForFinished(60000)) << "starter " << i;
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "starter " << i;
            EXPECT_EQ(p.exitCode(), 0) << "starter " << i << ": " << p.readAllStandardError().constData();
        }
        EXPECT_EQ(DaemonsWith(entry).size(), 1u);
        // The one daemon is the one the socket reaches.
        auto backend = MakeSimHidBackend(session.MouseSocket());
        EXPECT_EQ(backend->enumerate().size(), 2u);
        const auto reply = ControlRequest(session.MouseSocket(), wire::Message{wire::Type::Press, 0, 0, {}});
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->status, 0u);

        ASSERT_EQ(hkt::testfixtures::RunProgram(env, exe, {QStringLiteral("stop")}), 0);
        ASSERT_TRUE(hkt::testfixtures::WaitFor(gone)) << "a daemon outlived stop";
        if (HasFailure())
            return;
    }
}
