#include "platform/WindowMessages.h"

#include "peer/PeerProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <vector>

using namespace hkt::platform;
using namespace std::chrono_literals;

namespace {

struct Received {
    std::uint32_t message;
    std::int64_t wParam;
    std::int64_t lParam;
    bool duringSend;
    bool operator==(const Received &) const = default;
};

// Runs the event loop until pred holds (a bound against hangs, not a timing check).
bool SpinUntil(const std::function<bool()> &pred)
{
    QDeadlineTimer limit(20000);
    while (!pred() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return pred();
}

void SpinBriefly()
{
    QDeadlineTimer limit(200);
    while (!limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

class WindowMessagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_root = m_dir.path();
    }

    // A registered window of this process that records what reaches it.
    std::unique_ptr<MessageWindow> MakeWindow(const QString &cls, std::vector<Received> &log,
                                              std::int64_t result = 77)
    {
        auto w = std::make_unique<MessageWindow>(cls, m_root);
        w->SetHandler([&log, result](std::uint32_t m, std::int64_t wp, std::int64_t lp) {
            log.push_back({m, wp, lp, InsideSendWait()});
            return result;
        });
        EXPECT_TRUE(w->Register());
        return w;
    }

    QString SocketPath(const QString &cls) const { return QDir(MessageFolder(m_root)).filePath(cls); }

    // Connects a raw client to a window's socket.
    int RawConnect(const QString &cls) const
    {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray p = QFile::encodeName(SocketPath(cls));
        std::memcpy(addr.sun_path, p.constData(), p.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    std::unique_ptr<PeerProcess> StartPeer(const QStringList &args)
    {
        auto peer = std::make_unique<PeerProcess>(m_root, args);
        EXPECT_EQ(peer->NextLine(), QStringLiteral("ready"));
        return peer;
    }

    QTemporaryDir m_dir;
    QString m_root;
};

} // namespace

TEST(MessageFrame, EncodesFixedLittleEndianLayout)
{
    const auto bytes = EncodeMessageFrame({MessageKind::Send, 7040, 2, -1, 0x0102030405060708});
    const std::uint8_t expected[kMessageFrameSize] = {
        0x48, 0x4B, 0x54, 0x4D, 0x02, 0, 0, 0, 0x80, 0x1B, 0, 0, 0, 0, 0, 0,          // magic, kind, 7040, reserved
        2, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,       // wParam 2, lParam -1
        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};                              // result
    EXPECT_EQ(std::memcmp(bytes.data(), expected, kMessageFrameSize), 0);
    const auto back = DecodeMessageFrame(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, MessageKind::Send);
    EXPECT_EQ(back->message, 7040u);
    EXPECT_EQ(back->wParam, 2);
    EXPECT_EQ(back->lParam, -1);
    EXPECT_EQ(back->result, 0x0102030405060708);
}

TEST(MessageFrame, RejectsMalformedFrames)
{
    const auto good = EncodeMessageFrame({MessageKind::Post, 7036, 0, 0, 0});
    struct Case {
        const char *what;
        std::size_t offset;
        std::uint8_t value;
    } cases[] = {{"magic", 0, 0x00}, {"kind 0", 4, 0}, {"kind 4", 4, 4}, {"reserved", 13, 1}};
    for (const Case &c : cases) {
        auto bad = good;
        bad[c.offset] = c.value;
        EXPECT_FALSE(DecodeMessageFrame(bad)) << c.what;
    }
    EXPECT_FALSE(DecodeMessageFrame(std::span(good.data(), kMessageFrameSize - 1)));
    std::vector<std::uint8_t> longer(good.begin(), good.end());
    longer.push_back(0);
    EXPECT_FALSE(DecodeMessageFrame(longer));
}

TEST_F(WindowMessagesTest, FolderIsPrivateAndRefusedWhenOpenToOthers)
{
    const QString folder = MessageFolder(m_root);
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_EQ(QFile::permissions(folder) & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther), 0);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_TRUE(MessageFolder(m_root).isEmpty());
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), m_root));
}

TEST_F(WindowMessagesTest, MessageToAbsentWindowIsLostAtOnce)
{
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), m_root));
    const WindowHandle none;
    EXPECT_FALSE(PostWindowMessage(none, 7036, 0, 0));
    EXPECT_FALSE(SendWindowMessage(none, 7040, 1, 0));
    // A handle that went stale behaves the same.
    const WindowHandle gone{SocketPath(QStringLiteral("THKT75CFGMAIN"))};
    EXPECT_FALSE(PostWindowMessage(gone, 7036, 0, 0));
    EXPECT_FALSE(SendWindowMessage(gone, 7040, 1, 0));
}

TEST_F(WindowMessagesTest, SendReturnsTheReceiversResult)
{
    std::vector<Received> log;
    auto w = MakeWindow(QStringLiteral("TWINA"), log, 1234);
    const auto r = SendWindowMessage(FindWindowByClass(QStringLiteral("TWINA"), m_root), 7035, 1, 4);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, 1234);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], (Received{7035, 1, 4, true}));
}

TEST_F(WindowMessagesTest, SendAcrossProcessesAndNestedSendBack)
{
    // The peer answers 7040 by sending 7035 back to us first, as the
    // configuration program does when the monitor asks it to switch profile.
    std::vector<Received> log;
    auto mon = MakeWindow(QStringLiteral("TMON"), log, 55);
    auto peer = StartPeer({QStringLiteral("TCFG"), QStringLiteral("--on"),
                           QStringLiteral("7040=send:TMON:7035:1:w")});
    const auto r = SendWindowMessage(FindWindowByClass(QStringLiteral("TCFG"), m_root), 7040, 3, 0);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, 55); // the peer returns what its nested send got
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], (Received{7035, 1, 3, true}));
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv 7040 3 0"));
}

TEST_F(WindowMessagesTest, PostsArrivingDuringASendWaitUntilItEnds)
{
    std::vector<Received> log;
    auto mon = MakeWindow(QStringLiteral("TMON"), log);
    // The post leaves the peer before its send; still the send is handled
    // inside our wait and the post only afterwards, from the event loop.
    auto peer = StartPeer({QStringLiteral("TCFG"), QStringLiteral("--on"),
                           QStringLiteral("7040=post:TMON:7036:5:6,send:TMON:7035:1:2")});
    ASSERT_TRUE(SendWindowMessage(FindWindowByClass(QStringLiteral("TCFG"), m_root), 7040, 0, 0));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].message, 7035u);
    ASSERT_TRUE(SpinUntil([&] { return log.size() == 2; }));
    EXPECT_EQ(log[1], (Received{7036, 5, 6, false}));
}

TEST_F(WindowMessagesTest, PostsKeepTheirOrder)
{
    std::vector<Received> log;
    auto w = MakeWindow(QStringLiteral("TWINA"), log);
    auto peer = StartPeer({QStringLiteral("TCFG")});
    for (int i = 0; i < 40; ++i)
        peer->Command(QStringLiteral("post TWINA %1 %2 0").arg(7000 + i).arg(i));
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(peer->NextLine(), QStringLiteral("posted 1"));
    ASSERT_TRUE(SpinUntil([&] { return log.size() == 40; }));
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(log[i], (Received{static_cast<std::uint32_t>(7000 + i), i, 0, false}));
}

TEST_F(WindowMessagesTest, CrossedSendsBothFinish)
{
    std::vector<Received> log;
    auto mon = MakeWindow(QStringLiteral("TMON"), log, 9);
    auto peer = StartPeer({QStringLiteral("TCFG")});
    peer->Command(QStringLiteral("send TMON 7100 1 2"));
    // The peer now waits for us while we, without serving it first, send to it.
    ASSERT_EQ(peer->NextLine(), QStringLiteral("sending"));
    const auto r = SendWindowMessage(FindWindowByClass(QStringLiteral("TCFG"), m_root), 7200, 4, 5);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, 45);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], (Received{7100, 1, 2, true}));
    QStringList lines{peer->NextLine(), peer->NextLine()};
    lines.sort();
    EXPECT_EQ(lines, (QStringList{QStringLiteral("recv 7200 4 5"), QStringLiteral("result 9")}));
}

TEST_F(WindowMessagesTest, SendToAPeerThatDoesNotAnswerGivesUp)
{
    // A socket that takes connections into its backlog but never reads them.
    const QString path = QDir(MessageFolder(m_root)).filePath(QStringLiteral("THANG"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, QFile::encodeName(path).constData(), QFile::encodeName(path).size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 8), 0);
    const WindowHandle hang = FindWindowByClass(QStringLiteral("THANG"), m_root);
    ASSERT_TRUE(hang);
    EXPECT_FALSE(SendWindowMessage(hang, 7040, 1, 0, 300ms));
    ::close(fd);

    // A peer whose handler is busy far longer than the sender waits.
    auto peer = StartPeer({QStringLiteral("TCFG"), QStringLiteral("--on"), QStringLiteral("7040=sleep:5000")});
    EXPECT_FALSE(SendWindowMessage(FindWindowByClass(QStringLiteral("TCFG"), m_root), 7040, 1, 0, 300ms));
    EXPECT_FALSE(InsideSendWait());
}

TEST_F(WindowMessagesTest, ASendThatDoesNotWaitGetsItsResultThroughTheEventLoop)
{
    // The peer answers by sending back to us first, as the configuration
    // program answers a switch: our window handles that from the loop too.
    std::vector<Received> log;
    auto mon = MakeWindow(QStringLiteral("TMON"), log, 55);
    auto peer = StartPeer({QStringLiteral("TCFG"), QStringLiteral("--on"),
                           QStringLiteral("7040=send:TMON:7035:1:w")});
    std::vector<std::optional<std::int64_t>> results;
    AsyncWindowSend send(FindWindowByClass(QStringLiteral("TCFG"), m_root), 7040, 3, 0,
                         [&](std::optional<std::int64_t> r) { results.push_back(r); });
    EXPECT_TRUE(results.empty()); // never inside the call
    ASSERT_TRUE(SpinUntil([&] { return !results.empty(); }));
    EXPECT_EQ(results, (std::vector<std::optional<std::int64_t>>{55}));
    EXPECT_TRUE(send.Finished());
    EXPECT_FALSE(send.TimedOut());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], (Received{7035, 1, 3, false})); // from the loop, not a send's wait
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv 7040 3 0"));
}

TEST_F(WindowMessagesTest, ASendThatDoesNotWaitReportsLossAndSilenceThroughTheEventLoop)
{
    // No window: lost, said from the loop.
    std::vector<std::optional<std::int64_t>> results;
    {
        AsyncWindowSend lost(WindowHandle{SocketPath(QStringLiteral("TNONE"))}, 7040, 1, 0,
                             [&](std::optional<std::int64_t> r) { results.push_back(r); });
        EXPECT_TRUE(results.empty());
        ASSERT_TRUE(SpinUntil([&] { return !results.empty(); }));
        EXPECT_EQ(results, (std::vector<std::optional<std::int64_t>>{std::nullopt}));
    }

    // A receiver busier than the timeout: silence first, then its answer.
    auto peer = StartPeer({QStringLiteral("TCFG"), QStringLiteral("--on"),
                           QStringLiteral("7040=sleep:1500,result:9")});
    results.clear();
    int timeouts = 0;
    AsyncWindowSend slow(FindWindowByClass(QStringLiteral("TCFG"), m_root), 7040, 1, 0,
                         [&](std::optional<std::int64_t> r) { results.push_back(r); }, [&] { ++timeouts; },
                         100ms);
    ASSERT_TRUE(SpinUntil([&] { return !results.empty(); }));
    EXPECT_EQ(timeouts, 1);
    EXPECT_TRUE(slow.TimedOut());
    EXPECT_EQ(results, (std::vector<std::optional<std::int64_t>>{9}));

    // A receiver that goes away without answering: lost.
    auto dying = StartPeer({QStringLiteral("TDIE"), QStringLiteral("--on"), QStringLiteral("7040=sleep:60000")});
    results.clear();
    AsyncWindowSend gone(FindWindowByClass(QStringLiteral("TDIE"), m_root), 7040, 1, 0,
                         [&](std::optional<std::int64_t> r) { results.push_back(r); });
    EXPECT_EQ(dying->NextLine(), QStringLiteral("recv 7040 1 0"));
    dying.reset();
    ASSERT_TRUE(SpinUntil([&] { return !results.empty(); }));
    EXPECT_EQ(results, (std::vector<std::optional<std::int64_t>>{std::nullopt}));
    EXPECT_FALSE(InsideSendWait());
}

TEST_F(WindowMessagesTest, ASendIsHandledAfterThePostsThatReachedTheWindowBeforeIt)
{
    std::vector<Received> log;
    auto w = MakeWindow(QStringLiteral("TWINA"), log);
    auto peer = StartPeer({QStringLiteral("TCFG")});
    peer->Command(QStringLiteral("post TWINA 7043 8 0"));
    peer->Command(QStringLiteral("send TWINA 7040 3 0"));
    ASSERT_EQ(peer->NextLine(), QStringLiteral("posted 1"));
    ASSERT_EQ(peer->NextLine(), QStringLiteral("sending"));
    // Both are with the window before it looks (the send's frame follows
    // "sending" at once), so one round of the loop sees them together.
    QThread::msleep(300);
    ASSERT_TRUE(SpinUntil([&] { return log.size() == 2; }));
    EXPECT_EQ(log[0], (Received{7043, 8, 0, false}));
    EXPECT_EQ(log[1], (Received{7040, 3, 0, false}));
    EXPECT_EQ(peer->NextLine(), QStringLiteral("result 77"));
}

TEST_F(WindowMessagesTest, MalformedFramesAreDropped)
{
    std::vector<Received> log;
    auto w = MakeWindow(QStringLiteral("TWINA"), log);
    auto bad = EncodeMessageFrame({MessageKind::Post, 7036, 1, 1, 0});
    bad[0] ^= 0xFF;
    const auto reply = EncodeMessageFrame({MessageKind::Reply, 7036, 2, 2, 0});
    const auto good = EncodeMessageFrame({MessageKind::Post, 7037, 3, 3, 0});
    std::vector<std::vector<std::uint8_t>> writes = {
        {bad.begin(), bad.end()},
        {reply.begin(), reply.end()},
        {good.begin(), good.begin() + 20}, // cut short, then closed
    };
    for (const auto &bytes : writes) {
        const int fd = RawConnect(QStringLiteral("TWINA"));
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    }
    // A connection that says nothing and stays open is given up on too.
    const int silent = RawConnect(QStringLiteral("TWINA"));
    ASSERT_GE(silent, 0);
    ASSERT_TRUE(PostWindowMessage(FindWindowByClass(QStringLiteral("TWINA"), m_root), 7037, 3, 3));
    ASSERT_TRUE(SpinUntil([&] { return !log.empty(); }));
    SpinBriefly();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], (Received{7037, 3, 3, false}));
    ::close(silent);
    EXPECT_EQ(SendWindowMessage(FindWindowByClass(QStringLiteral("TWINA"), m_root), 7035, 0, 0), 77);
}

TEST_F(WindowMessagesTest, PeerOfAnotherUserIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    std::vector<Received> log;
    auto w = MakeWindow(QStringLiteral("TWINA"), log);
    const QByteArray path = QFile::encodeName(SocketPath(QStringLiteral("TWINA")));
    const auto frame = EncodeMessageFrame({MessageKind::Post, 7036, 9, 9, 0});
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another user as far as the peer credentials go, while still able to
        // reach the private folder (its file-system id stays root).
        if (::setresuid(65534, 65534, 0) != 0)
            ::_exit(3);
        ::setfsuid(0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path.constData(), path.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
            ::_exit(4);
        (void)::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(PostWindowMessage(FindWindowByClass(QStringLiteral("TWINA"), m_root), 7037, 1, 1));
    ASSERT_TRUE(SpinUntil([&] { return !log.empty(); }));
    SpinBriefly();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].message, 7037u);
}

TEST_F(WindowMessagesTest, StaleSocketNeverBlocksANewWindow)
{
    // What a killed program leaves: a socket file nobody listens on.
    const QString path = SocketPath(QStringLiteral("THKT75MONMAIN"));
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, QFile::encodeName(path).constData(), QFile::encodeName(path).size());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        ::close(fd);
    }
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), m_root));
    EXPECT_FALSE(PostWindowMessage(WindowHandle{path}, 7036, 0, 0));

    std::vector<Received> log;
    auto w = MakeWindow(QStringLiteral("THKT75MONMAIN"), log, 5);
    EXPECT_EQ(SendWindowMessage(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), m_root), 7035, 1, 0), 5);

    // A window that still answers is never taken over.
    MessageWindow second(QStringLiteral("THKT75MONMAIN"), m_root);
    EXPECT_FALSE(second.Register());
    EXPECT_EQ(SendWindowMessage(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), m_root), 7035, 1, 0), 5);

    w.reset();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), m_root));
}

TEST_F(WindowMessagesTest, AWindowTakingPostsInArrivalOrderGetsThemBeforeALaterSend)
{
    std::vector<Received> log;
    auto mon = MakeWindow(QStringLiteral("TMON"), log);
    mon->SetPostsInArrivalOrder(true);
    // The same peer as above: its post leaves before its send, and reaches
    // the handler first, inside our wait, without waiting for its end.
    auto peer = StartPeer({QStringLiteral("TCFG"), QStringLiteral("--on"),
                           QStringLiteral("7040=post:TMON:7036:5:6,send:TMON:7035:1:2")});
    ASSERT_TRUE(SendWindowMessage(FindWindowByClass(QStringLiteral("TCFG"), m_root), 7040, 0, 0));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], (Received{7036, 5, 6, true}));
    EXPECT_EQ(log[1], (Received{7035, 1, 2, true}));
    SpinBriefly();
    EXPECT_EQ(log.size(), 2u); // nothing delivered twice
}
