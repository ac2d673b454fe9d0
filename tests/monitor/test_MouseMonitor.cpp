#include "monitor/MouseMonitor.h"
#include "config/ui/kwSkinKit.h"
#include "platform/ProcessStart.h"
#include "sim/InProcessHidBackend.h"
#include "sim/VirtualMouse.h"

#include "peer/PeerProcess.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QLoggingCategory>
#include <QPointer>
#include <QTest>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include <csignal>
#include <sys/types.h>

using namespace hkt::platform;
using T = TMonitorReportAction::TTarget;

namespace {

const QString kKey = QStringLiteral("software\\HKT75GM");

struct DecodeCase {
    std::uint8_t id;
    std::array<std::uint8_t, 3> data;
    std::size_t size;
    TMonitorReportAction expected;
};

// Runs the event loop until pred holds (a bound against hangs, not a timing check).
bool SpinUntil(const std::function<bool()> &pred)
{
    QDeadlineTimer limit(20000);
    while (!pred() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return pred();
}

// A mouse-less backend that counts the interface walks: each restart of the
// readers walks the interfaces once.
class CountingHidBackend : public HidBackend {
public:
    std::vector<HidInterfaceInfo> enumerate() override
    {
        ++enumerations;
        return {};
    }
    HidOpenResult open(const QString &path, int collection) override { return m_none->open(path, collection); }
    std::unique_ptr<DeviceChangeSource> createChangeSource() override { return m_none->createChangeSource(); }

    std::atomic<int> enumerations{0};

private:
    std::shared_ptr<HidBackend> m_none = MakeNullHidBackend();
};

void Spin()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// The mouse's reports: profile {8, 1, p}, DPI level {8, 2, l}, rate {8, 6, code}.
constexpr std::array<std::uint8_t, 3> Profile(int p) { return {8, 1, std::uint8_t(p)}; }
constexpr std::array<std::uint8_t, 3> Dpi(int l) { return {8, 2, std::uint8_t(l)}; }
constexpr std::array<std::uint8_t, 3> Rate(int c) { return {8, 6, std::uint8_t(c)}; }
// A key report naming key j (0..23).

// Everything the program writes through Qt's logging while it lives, as the
// default handler would put it on stderr.
class LogCapture {
public:
    LogCapture()
    {
        Lines().clear();
        m_previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
            Lines().append(text);
        });
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    static QStringList &Lines()
    {
        static QStringList lines;
        return lines;
    }

private:
    QtMessageHandler m_previous;
};

class MonitorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.path() + "/prog");
        QDir().mkpath(m_tmp.path() + "/run");
        m_store = std::make_shared<DirectoryValueStore>(m_tmp.path() + "/registry");
        m_dm = std::make_unique<TDM>(TDMRoots{m_store, ProgramFolder(), m_tmp.path() + "/docs/"});
        DM = m_dm.get();
    }
    void TearDown() override
    {
        m_form.reset();
        DM = nullptr;
    }

    QString ProgramFolder() const { return m_tmp.path() + "/prog"; }
    QString Runtime() const { return m_tmp.path() + "/run"; }

    THKT75MONMAIN &Form()
    {
        if (!m_form) {
            auto mic = std::make_unique<FakeMicMute>();
            m_mic = mic.get();
            TMonitorSetup setup;
            setup.RuntimeRoot = Runtime();
            setup.ProgramFolder = ProgramFolder();
            setup.Store = m_store;
            setup.Mic = std::move(mic);
            setup.Hid = m_hid;
            setup.ConfigAnswerTimeout = m_answerTimeout;
            m_form = std::make_unique<THKT75MONMAIN>(*m_dm, std::move(setup));
            if (!m_ownMessageBoxes)
                m_form->ShowPlatformMessage = [this](const QString &text) { m_messages.append(text); };
            EXPECT_TRUE(m_form->RegisterWindow());
        }
        return *m_form;
    }

    // Gives button `button` of stored profile p the function row `row`.
    void StoreButtonRow(int p, int button, std::uint16_t row)
    {
        auto info = std::make_unique<TMouseProfileInfo>();
        ASSERT_TRUE(m_dm->ReadProfileInfo(*info, p));
        info->ConfigInfo.ButtonFuncInfo[button].FunctionIndex = row;
        ASSERT_TRUE(m_dm->SaveBackToProfileInfo(*info, p));
        ASSERT_TRUE(m_dm->SaveProfileInfoToRegistry(p));
    }

    QByteArray ProfileID()
    {
        QByteArray data;
        if (m_store->ReadValue(kKey, QStringLiteral("ProfileID"), data) != ReadStatus::Ok)
            return QByteArray("<none>");
        return data;
    }
    static QByteArray Dword(std::uint32_t v)
    {
        return QByteArray(reinterpret_cast<const char *>(&v), 4);
    }

    std::unique_ptr<PeerProcess> StartConfigPeer(const QStringList &extra = {})
    {
        auto peer = std::make_unique<PeerProcess>(Runtime(), QStringList{QStringLiteral("THKT75CFGMAIN")} + extra);
        EXPECT_EQ(peer->NextLine(), QStringLiteral("ready"));
        return peer;
    }

    // The stored all-settings record with its language index replaced, as
    // the configuration program leaves it after a language change.
    void StoreLanguage(int index)
    {
        QByteArray image;
        ASSERT_EQ(m_store->ReadValue(kKey, QLatin1String(ALL_SETTINGS_VALUE_NAME), image), ReadStatus::Ok);
        ASSERT_GT(image.size(), qsizetype(offsetof(TALLGAMESINFO, CurrentLanguage)));
        image[qsizetype(offsetof(TALLGAMESINFO, CurrentLanguage))] = char(index);
        ASSERT_TRUE(m_store->WriteValue(kKey, QLatin1String(ALL_SETTINGS_VALUE_NAME), image));
    }

    // The configuration program as the real one answers a switch.
    std::unique_ptr<PeerProcess> StartSwitchingConfigPeer()
    {
        return StartConfigPeer({QStringLiteral("--on"), QStringLiteral("7040=send:THKT75MONMAIN:7035:1:w")});
    }

    // The mouse's reports as the readers hand them over: {ID, data bytes 0, 1}.
    void Reports(std::initializer_list<std::array<std::uint8_t, 3>> reports)
    {
        for (const auto &r : reports) {
            const std::uint8_t data[7] = {r[1], r[2], 0, 0, 0, 0, 0};
            m_form->kwHIDData1Data(QString(), QString(), r[0], data, 7);
        }
    }
    // A key report naming key j (0..23): bit j of the 24-bit mask.
    void KeyReport(int j)
    {
        const std::uint32_t mask = 1u << j;
        const std::uint8_t data[7] = {std::uint8_t(mask), std::uint8_t(mask >> 8), std::uint8_t(mask >> 16), 0, 0, 0, 0};
        m_form->kwHIDData1Data(QString(), QString(), 7, data, 7);
    }
    // The next line the peer writes, waiting for it from the event loop.
    static QString NextPeerLine(PeerProcess &peer)
    {
        if (!SpinUntil([&] { return peer.Process().canReadLine() || peer.Process().waitForReadyRead(20); }))
            return QStringLiteral("<nothing>");
        return peer.NextLine();
    }

    QTemporaryDir m_tmp;
    std::chrono::milliseconds m_answerTimeout = kDefaultSendTimeout;
    bool m_ownMessageBoxes = false; // the window's own boxes instead of the recorder
    std::shared_ptr<HidBackend> m_hid = MakeNullHidBackend();
    std::shared_ptr<DirectoryValueStore> m_store;
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<THKT75MONMAIN> m_form;
    FakeMicMute *m_mic = nullptr;
    QStringList m_messages;
};

} // namespace

TEST(DecodeMonitorReport, KeyAndSettingReports)
{
    const DecodeCase cases[] = {
        {7, {0x00, 0x00, 0x00}, 7, {}},                                  // release
        {7, {0x03, 0x00, 0x00}, 7, {}},                                  // two keys
        {7, {0x08, 0x00, 0x00}, 7, {T::Self, WM_DEVICE_KEY, 3, 1}},
        {7, {0x80, 0x00, 0x00}, 7, {T::Self, WM_DEVICE_KEY, 7, 1}},
        {7, {0x00, 0x20, 0x00}, 7, {T::Self, WM_DEVICE_KEY, 13, 1}},
        {7, {0x00, 0x00, 0x01}, 7, {T::Self, WM_DEVICE_KEY, 16, 1}},
        {7, {0x00, 0x00, 0x80}, 7, {T::Self, WM_DEVICE_KEY, 23, 1}},
        {7, {0x01, 0x00, 0x00}, 8, {}},                                  // eight data bytes
        {7, {0x01, 0x00, 0x00}, 6, {}},
        {8, {0x02, 0x03, 0x00}, 7, {T::Config, WM_CPI_INDEX_CHANGED, 3, 0}},
        {8, {0x02, 0x00, 0x00}, 7, {T::Config, WM_CPI_INDEX_CHANGED, 0, 0}},
        {8, {0x02, 0x04, 0x00}, 7, {T::Config, WM_CPI_INDEX_CHANGED, 4, 0}},
        {8, {0x02, 0x05, 0x00}, 7, {}},                                  // no sixth level
        {8, {0x02, 0xFF, 0x00}, 7, {}},
        {8, {0x06, 0x08, 0x00}, 7, {T::Config, WM_REPORT_RATE_CHANGED, 8, 0}},
        {8, {0x06, 0x01, 0x00}, 7, {T::Config, WM_REPORT_RATE_CHANGED, 1, 0}},
        {8, {0x06, 0x02, 0x00}, 7, {T::Config, WM_REPORT_RATE_CHANGED, 2, 0}},
        {8, {0x06, 0x04, 0x00}, 7, {T::Config, WM_REPORT_RATE_CHANGED, 4, 0}},
        {8, {0x06, 0x03, 0x00}, 7, {}},                                  // no such rate
        {8, {0x06, 0x00, 0x00}, 7, {}},
        // A switch is the setting report's alone; keys 21..23 stay keys.
        {8, {0x01, 0x00, 0x00}, 7, {T::MouseSwitch, WM_SWITCH_PROFILE, 0, 0}},
        {8, {0x01, 0x02, 0x00}, 7, {T::MouseSwitch, WM_SWITCH_PROFILE, 2, 0}},
        {8, {0x01, 0x04, 0x00}, 7, {T::MouseSwitch, WM_SWITCH_PROFILE, 4, 0}},
        {7, {0x00, 0x00, 0x20}, 7, {T::Self, WM_DEVICE_KEY, 21, 1}},
        {7, {0x00, 0x00, 0x40}, 7, {T::Self, WM_DEVICE_KEY, 22, 1}},
        {8, {0x01, 0x05, 0x00}, 7, {}},
        {8, {0x03, 0x01, 0x00}, 7, {}},                                  // unknown sub-type
        {8, {0x02, 0x03, 0x00}, 8, {}},
        {9, {0x08, 0x00, 0x00}, 7, {}},
    };
    for (const DecodeCase &c : cases) {
        std::array<std::uint8_t, 8> data{};
        std::copy(c.data.begin(), c.data.end(), data.begin());
        EXPECT_EQ(DecodeMonitorReport(c.id, data.data(), c.size), c.expected)
            << int(c.id) << " " << int(c.data[0]) << " " << int(c.data[1]) << " " << int(c.data[2]) << " size "
            << c.size;
    }
    EXPECT_EQ(DecodeMonitorReport(7, nullptr, 7), TMonitorReportAction{});
}

TEST_F(MonitorTest, MailButtonTogglesOncePerKeyAndOtherKeysDoNothing)
{
    Form();
    m_dm->FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[3].FunctionIndex = 28;
    m_dm->FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[4].FunctionIndex = 27;
    m_form->WMDeviceKey(3, 1);
    EXPECT_TRUE(m_mic->muted);
    m_form->WMDeviceKey(3, 1);
    EXPECT_FALSE(m_mic->muted);
    EXPECT_EQ(m_mic->setCalls, 2);
    for (std::int64_t key : {4LL, 14LL, 20LL, 26LL, -1LL, 0xFFFFFFFFLL})
        m_form->WMDeviceKey(key, 1);
    EXPECT_EQ(m_mic->setCalls, 2);
}

TEST_F(MonitorTest, KeyReportReachesTheMuteThroughTheMessageQueueOnce)
{
    Form();
    m_dm->FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[5].FunctionIndex = 28;
    const std::uint8_t key5[7] = {0x20, 0, 0, 0, 0, 0, 0};
    m_form->kwHIDData1Data(QString(), QString(), 7, key5, 7);
    EXPECT_EQ(m_mic->setCalls, 0); // posted, not handled inside the report handler
    ASSERT_TRUE(SpinUntil([&] { return m_mic->setCalls == 1; }));
    Spin();
    EXPECT_EQ(m_mic->setCalls, 1);
    EXPECT_TRUE(m_mic->muted);
}

TEST_F(MonitorTest, MailWorksOnTheProfileTheConfigurationProgramNames)
{
    // Only profile p's button 5 is "MAIL"; after WM_PROFILE_CHANGED naming p,
    // key 5 mutes, whatever the profile-group record says.
    for (int p = 0; p < 5; ++p) {
        for (int q = 0; q < 5; ++q)
            StoreButtonRow(q, 5, q == p ? 28 : 1);
        Form();
        const int before = m_mic->setCalls;
        EXPECT_EQ(m_form->WndProc(WM_PROFILE_CHANGED, 1, p), 0);
        EXPECT_EQ(ProfileID(), Dword(p)) << p;
        m_form->WMDeviceKey(5, 1);
        EXPECT_EQ(m_mic->setCalls, before + 1) << "profile " << p;
    }
}

TEST_F(MonitorTest, ProfileChangedWithAnOutOfRangeIndexKeepsTheReloadedProfile)
{
    StoreButtonRow(0, 5, 28);
    Form();
    m_form->WndProc(WM_PROFILE_CHANGED, 1, 7);
    EXPECT_EQ(ProfileID(), "<none>") << "no profile 7 to store";
    m_form->WMDeviceKey(5, 1);
    EXPECT_EQ(m_mic->setCalls, 1); // the group record's profile 0
}

TEST_F(MonitorTest, ProfileIdIsStoredOnlyForAProfileZeroToFour)
{
    Form();
    m_form->WndProc(WM_PROFILE_CHANGED, 1, 2);
    ASSERT_EQ(ProfileID(), Dword(2));
    for (const std::int64_t l : {std::int64_t(5), std::int64_t(99), std::int64_t(-1), std::int64_t(2147483647),
                                 std::int64_t(1) << 40, std::int64_t(1 << 30) * 4 + 3}) {
        m_form->WndProc(WM_PROFILE_CHANGED, 1, l);
        EXPECT_EQ(ProfileID(), Dword(2)) << l;
    }
}

TEST_F(MonitorTest, ProfileChangedReloadsTheGroupRecordBeforeTheCurrentProfile)
{
    // The stored group record names profile 3 for its current group; the
    // message names no profile. The reload makes profile 3 current and reads
    // its buttons as they are stored now.
    Form();
    StoreButtonRow(0, 5, 28);
    StoreButtonRow(3, 5, 1);
    StoreButtonRow(3, 2, 28);
    QByteArray group;
    const QString name = QLatin1String(PROFILE_SETTING_GROUP_VALUE_NAME);
    ASSERT_EQ(m_store->ReadValue(kKey, name, group), ReadStatus::Ok);
    ASSERT_GE(group.size(), qsizetype(sizeof(TProfileSettingGroup)));
    const std::int32_t three = 3;
    std::memcpy(group.data() + offsetof(TProfileSettingGroup, ProfileIndexOfProfileGroup), &three, 4);
    ASSERT_TRUE(m_store->WriteValue(kKey, name, group));

    m_form->WndProc(WM_PROFILE_CHANGED, 1, 9);
    EXPECT_EQ(ProfileID(), "<none>");
    m_form->WMDeviceKey(5, 1);
    EXPECT_EQ(m_mic->setCalls, 0); // profile 0's "MAIL" no longer counts
    m_form->WMDeviceKey(2, 1);
    EXPECT_EQ(m_mic->setCalls, 1);
}

TEST_F(MonitorTest, ProfileSwitchOnTheMouseWithoutConfigurationProgram)
{
    StoreButtonRow(3, 2, 28);
    Form();
    m_form->ProfileSwitchedOnTheMouse(3); // returns at once: nobody to wait for
    EXPECT_EQ(ProfileID(), Dword(3));
    m_form->WMDeviceKey(2, 1);
    EXPECT_EQ(m_mic->setCalls, 1);
}

TEST_F(MonitorTest, ProfileSwitchOnTheMouseRoundTripsThroughTheConfigurationProgram)
{
    Form();
    // As the configuration program does: switch, then tell the monitor.
    auto peer = StartConfigPeer({QStringLiteral("--on"), QStringLiteral("7040=send:THKT75MONMAIN:7035:1:w")});
    StoreButtonRow(1, 6, 28);
    const std::uint8_t profile1[7] = {1, 1, 0, 0, 0, 0, 0};
    m_form->kwHIDData1Data(QString(), QString(), 8, profile1, 7);
    ASSERT_TRUE(SpinUntil([&] { return ProfileID() == Dword(1); }));
    ASSERT_EQ(peer->NextLine(), QStringLiteral("recv 7040 1 0"));
    m_form->WMDeviceKey(6, 1);
    EXPECT_EQ(m_mic->setCalls, 1);
}

TEST_F(MonitorTest, SettingReportsAreForwardedCheckedAndInOrder)
{
    Form();
    auto peer = StartConfigPeer();
    const std::uint8_t reports[][7] = {
        {2, 9, 0, 0, 0, 0, 0}, // DPI level out of range: dropped
        {2, 3, 0, 0, 0, 0, 0},
        {6, 5, 0, 0, 0, 0, 0}, // unknown rate code: dropped
        {6, 8, 0, 0, 0, 0, 0},
    };
    for (const auto &r : reports)
        m_form->kwHIDData1Data(QString(), QString(), 8, r, 7);
    Spin(); // forwarded from the window's own queue, in turn
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv 7042 3 0"));
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv 7043 8 0"));
}

TEST_F(MonitorTest, ProfileIDIsNotWrittenWhenTheKeyIsMissing)
{
    Form();
    m_dm->FOptionsFromConfigFile.ProfileRegFolder = QStringLiteral("software\\NoSuchKey");
    EXPECT_FALSE(m_form->WriteProfileID(2));
    EXPECT_FALSE(m_store->OpenKey(QStringLiteral("software\\NoSuchKey"), false));
    m_dm->FOptionsFromConfigFile.ProfileRegFolder = kKey;
    EXPECT_TRUE(m_form->WriteProfileID(-2));
    EXPECT_EQ(ProfileID(), QByteArray("\xFE\xFF\xFF\xFF", 4));
}

TEST_F(MonitorTest, MuteFailuresChangeNothingAndOnlyTheMixerRoadSpeaks)
{
    Form();
    struct Case {
        MicStatus status;
        bool failGet, failSet, mixer;
        QStringList messages;
        int sets;
    } cases[] = {
        {MicStatus::Unavailable, false, false, false, {}, 0},
        {MicStatus::Ok, true, false, false, {}, 0},
        {MicStatus::Ok, false, true, false, {}, 1},
        {MicStatus::Unavailable, false, false, true, {}, 0},
        {MicStatus::NoMuteControl, false, false, true, {"GetLineInfo Error", "GetLineInfo Error"}, 0},
        {MicStatus::Ok, true, false, true, {"SetControlDetails Error"}, 0},
        {MicStatus::Ok, false, true, true, {"SetControlDetails Error"}, 1},
    };
    for (const Case &c : cases) {
        *m_mic = FakeMicMute{};
        m_mic->status = c.status;
        m_mic->failGet = c.failGet;
        m_mic->failSet = c.failSet;
        m_mic->showsErrors = c.mixer;
        m_messages.clear();
        m_form->MicrophoneMute();
        EXPECT_EQ(m_messages, c.messages) << int(c.status) << c.failGet << c.failSet << c.mixer;
        EXPECT_EQ(m_mic->setCalls, c.sets);
        EXPECT_FALSE(m_mic->muted);
    }
}

TEST_F(MonitorTest, TrayTextsFollowTheStoredLanguageWithoutCompounding)
{
    Form();
    // Without kw.local the embedded languages are the whole list.
    const int ch = m_form->kwLanguage1->GetLanguageIndexByShortID(QStringLiteral("CH"));
    const int us = m_form->kwLanguage1->GetLanguageIndexByShortID(QStringLiteral("US"));
    ASSERT_EQ(ch, 0);
    ASSERT_EQ(us, 1);
    m_dm->FAllProfileSettingInfo.CurrentLanguage = static_cast<std::uint8_t>(us);
    m_form->ApplyLanguage();
    EXPECT_EQ(m_form->TrayIcon1->toolTip(), QStringLiteral("GAMING MOUSE DRIVER"));
    EXPECT_EQ(m_form->Config1->text(), QStringLiteral("Config"));
    m_dm->FAllProfileSettingInfo.CurrentLanguage = static_cast<std::uint8_t>(ch);
    m_form->ApplyLanguage();
    m_form->ApplyLanguage();
    EXPECT_EQ(m_form->TrayIcon1->toolTip(), QStringLiteral("游戏鼠标驱动程序"));
    EXPECT_EQ(m_form->Config1->text(), QStringLiteral("设置"));
    EXPECT_EQ(m_form->Exit1->text(), QStringLiteral("退出"));
    EXPECT_FALSE(m_form->About1->isVisible());
    m_dm->FAllProfileSettingInfo.CurrentLanguage = 200;
    m_form->ApplyLanguage();
    EXPECT_EQ(m_form->Config1->text(), QStringLiteral("设置")); // an unknown ID keeps the dictionary
    m_dm->FAllProfileSettingInfo.CurrentLanguage =
        static_cast<std::uint8_t>(m_form->kwLanguage1->GetLanguageIndexByShortID(QStringLiteral("US")));
    m_form->ApplyLanguage();
    EXPECT_EQ(m_form->Exit1->text(), QStringLiteral("Exit"));
    EXPECT_EQ(m_form->TrayIcon1->toolTip(), QStringLiteral("GAMING MOUSE DRIVER"));
}

TEST_F(MonitorTest, IncludeListStopsAtTheFirstEmptyId)
{
    QFile ini(ProgramFolder() + "/config.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[includehiddevicelist]\r\nid1=HID\\VID_1234&PID_5678\r\nid3=HID\\VID_AAAA\r\n");
    ini.close();
    Form();
    EXPECT_EQ(m_form->FIncludeHidDeviceList, QStringList{QStringLiteral("HID\\VID_1234&PID_5678")});
}

TEST_F(MonitorTest, ExitPostsExitProgramBeforeTheLoopEnds)
{
    Form();
    auto peer = StartConfigPeer();
    QTimer::singleShot(0, m_form.get(), [this] { m_form->Exit1Click(m_form->Exit1); });
    QCoreApplication::exec();
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv 7036 0 0"));
}

TEST_F(MonitorTest, TrayClickBringsTheConfigurationProgramForward)
{
    Form();
    auto peer = StartConfigPeer();
    m_form->TrayIconDblClick(m_form->TrayIcon1);
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv %1 0 0").arg(kActivateWindowMessage));
}

TEST_F(MonitorTest, KeyReportsNamingKeys21To23SwitchNoProfile)
{
    // A key report names a key: with the mouse on profile 3, keys 21 to 23
    // leave the monitor and the configuration program on it. Only the
    // setting report switches.
    StoreButtonRow(3, 6, 28);
    Form();
    auto peer = StartSwitchingConfigPeer();
    Reports({Profile(3)});
    ASSERT_EQ(NextPeerLine(*peer), QStringLiteral("recv 7040 3 0"));
    ASSERT_TRUE(SpinUntil([&] { return ProfileID() == Dword(3) && !m_form->ConfigOutbox().AwaitingAnswer(); }));

    for (int key : {21, 22, 23})
        KeyReport(key);
    for (std::int64_t key = 21; key <= 25; ++key)
        m_form->WMDeviceKey(key, 1); // as a peer could post them
    Spin();
    EXPECT_EQ(ProfileID(), Dword(3));
    EXPECT_EQ(m_dm->FProfileIndex, 3);
    EXPECT_TRUE(m_form->ConfigOutbox().Pending().empty());
    EXPECT_FALSE(m_form->ConfigOutbox().AwaitingAnswer());
    EXPECT_FALSE(peer->Process().waitForReadyRead(300)) << peer->NextLine().toStdString();
    // Profile 3's buttons still count.
    m_form->WMDeviceKey(6, 1);
    EXPECT_EQ(m_mic->setCalls, 1);

    // The setting report still switches, to profile 0 too.
    Reports({Profile(0)});
    EXPECT_EQ(NextPeerLine(*peer), QStringLiteral("recv 7040 0 0"));
    ASSERT_TRUE(SpinUntil([&] { return ProfileID() == Dword(0); }));
    EXPECT_EQ(m_dm->FProfileIndex, 0);
}

TEST_F(MonitorTest, ProfileSwitchGivesUpOnAConfigurationProgramThatDoesNotAnswer)
{
    // The configuration program hangs in its handler far longer than any
    // send waits: the monitor comes back, on the mouse's new profile.
    StoreButtonRow(2, 4, 28);
    Form();
    auto peer = StartConfigPeer({QStringLiteral("--on"), QStringLiteral("7040=sleep:60000")});
    m_form->ProfileSwitchedOnTheMouse(2);
    EXPECT_FALSE(InsideSendWait());
    EXPECT_EQ(ProfileID(), Dword(2));
    m_form->WMDeviceKey(4, 1);
    EXPECT_EQ(m_mic->setCalls, 1);
    EXPECT_EQ(peer->NextLine(), QStringLiteral("recv 7040 2 0"));
}

TEST_F(MonitorTest, DeviceArrivalsCloseTogetherRestartTheReadersOnceWhenTheTimerFires)
{
    auto hid = std::make_shared<CountingHidBackend>();
    m_hid = hid;
    EXPECT_EQ(TMonitorSetup{}.DeviceArrivalIntervalMs, 1500);
    Form();
    QTimer *timer = m_form->TimerDeviceArrial;
    EXPECT_EQ(timer->interval(), 1500);
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_FALSE(timer->isActive()); // created disabled

    for (int i = 0; i < 3; ++i)
        m_form->kwHIDEvent1DeviceArrival(m_form->kwHIDEvent1.get());
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(hid->enumerations, 0); // nothing restarts before the timer fires
    ASSERT_TRUE(SpinUntil([&] { return hid->enumerations > 0; }));
    EXPECT_EQ(hid->enumerations, 1);

    // A later arrival arms the timer again and leads to one more restart.
    m_form->kwHIDEvent1DeviceArrival(m_form->kwHIDEvent1.get());
    EXPECT_TRUE(timer->isActive());
    ASSERT_TRUE(SpinUntil([&] { return hid->enumerations > 1; }));
}

TEST_F(MonitorTest, TrayIconComesFromTheProgramFolderWhenItIsAnIcon)
{
    Form();
    // Without the file the tray still has a picture: an icon without one is not shown.
    EXPECT_FALSE(m_form->TrayIcon1->icon().isNull());

    const QString folder = ProgramFolder() + "/images/0409/icons";
    ASSERT_TRUE(QDir().mkpath(folder));
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(QColor(255, 0, 0));
    ASSERT_TRUE(red.save(folder + "/logo.ico", "ICO"));
    m_form->LoadTrayIcon();
    EXPECT_EQ(m_form->TrayIcon1->icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(255, 0, 0));

    // A file that is no icon leaves the icon as it was.
    QFile bad(folder + "/logo.ico");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
    bad.write("not an icon");
    bad.close();
    m_form->LoadTrayIcon();
    EXPECT_EQ(m_form->TrayIcon1->icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(255, 0, 0));
}

TEST_F(MonitorTest, LanguageChangedAppliesTheLanguageStoredByTheConfigurationProgram)
{
    Form();
    const int ch = m_form->kwLanguage1->GetLanguageIndexByShortID(QStringLiteral("CH"));
    const int us = m_form->kwLanguage1->GetLanguageIndexByShortID(QStringLiteral("US"));
    ASSERT_GE(ch, 0);
    ASSERT_GE(us, 0);

    StoreLanguage(us);
    m_form->WndProc(WM_LANGUAGE_CHANGED, 0, 0);
    EXPECT_EQ(m_dm->FAllProfileSettingInfo.CurrentLanguage, us);
    EXPECT_EQ(m_form->TrayIcon1->toolTip(), QStringLiteral("GAMING MOUSE DRIVER"));
    EXPECT_EQ(m_form->Config1->text(), QStringLiteral("Config"));
    EXPECT_EQ(m_form->Exit1->text(), QStringLiteral("Exit"));

    // Through the window, as the configuration program sends it.
    StoreLanguage(ch);
    auto peer = StartConfigPeer();
    peer->Command(QStringLiteral("send THKT75MONMAIN %1 %2 0").arg(WM_LANGUAGE_CHANGED).arg(ch));
    ASSERT_TRUE(SpinUntil([&] { return m_form->Exit1->text() == QStringLiteral("退出"); }));
    EXPECT_EQ(m_form->TrayIcon1->toolTip(), QStringLiteral("游戏鼠标驱动程序"));
    EXPECT_EQ(m_form->Config1->text(), QStringLiteral("设置"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("游戏鼠标监控程序"));
    EXPECT_EQ(peer->NextLine(), QStringLiteral("sending"));
    EXPECT_EQ(peer->NextLine(), QStringLiteral("result 0"));
}

TEST_F(MonitorTest, CreatesItsHookComponentAndAMissingLibraryIsReportedAsAnError)
{
    std::vector<std::pair<QString, QString>> shown;
    TkwHook::SetMessageSink([&](const QString &title, const QString &text) { shown.emplace_back(title, text); });
    TkwHook::SetLibraryPath(m_tmp.path() + "/no-such/libkwHook.so");
    Form();
    TkwHook::SetLibraryPath(QString());
    TkwHook::SetMessageSink(nullptr);
    ASSERT_TRUE(Form().kwHook1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, QStringLiteral("Error"));
    EXPECT_EQ(shown[0].second, QStringLiteral("libkwHook.so can not be found!"));
}

TEST_F(MonitorTest, ReportsReachTheConfigurationProgramInTheMouseOrder)
{
    // A report never overtakes the one before it: a rate or DPI level after
    // a profile switch belongs to the new profile.
    struct Case {
        std::vector<std::array<std::uint8_t, 3>> reports;
        QStringList received;
        std::uint32_t lastProfile;
    } cases[] = {
        {{Profile(3), Rate(8)}, {"recv 7040 3 0", "recv 7043 8 0"}, 3},
        {{Profile(1), Profile(3), Rate(8)}, {"recv 7040 1 0", "recv 7040 3 0", "recv 7043 8 0"}, 3},
        {{Dpi(2), Profile(2), Dpi(4), Rate(1)}, {"recv 7042 2 0", "recv 7040 2 0", "recv 7042 4 0", "recv 7043 1 0"}, 2},
        {{Rate(2), Profile(0), Profile(4)}, {"recv 7043 2 0", "recv 7040 0 0", "recv 7040 4 0"}, 4},
    };
    Form();
    auto peer = StartSwitchingConfigPeer();
    for (const Case &c : cases) {
        for (const auto &r : c.reports)
            Reports({r});
        for (const QString &line : c.received) {
            ASSERT_TRUE(SpinUntil([&] { return peer->Process().canReadLine() || peer->Process().waitForReadyRead(20); }));
            EXPECT_EQ(peer->NextLine(), line);
        }
        // All handed over and answered; the last switch's answer is stored.
        ASSERT_TRUE(SpinUntil([&] { return m_form->ConfigOutbox().Pending().empty() && !m_form->ConfigOutbox().AwaitingAnswer(); }));
        ASSERT_TRUE(SpinUntil([&] { return ProfileID() == Dword(c.lastProfile); }));
    }
}

TEST_F(MonitorTest, AConfigurationProgramThatDoesNotAnswerGetsTheLatestSwitchesInOrderWhenItRunsAgain)
{
    // A short answer timeout: the window is found silent long before it runs again.
    m_answerTimeout = std::chrono::milliseconds(200);
    StoreButtonRow(0, 5, 28);
    Form();
    auto peer = StartSwitchingConfigPeer();
    const pid_t pid = pid_t(peer->Process().processId());
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);

    Reports({Profile(1), Profile(2), Profile(3), Rate(8), Dpi(1), Dpi(3), Profile(4)});
    KeyReport(22); // a key: no switch among them
    Reports({{7, 0x00, 0x00}}); // a release: nothing
    Reports({Profile(0)});
    // The monitor's own work goes on while the switch to profile 1 waits:
    // the mouse's last profile is its own (button 5 of profile 0 is "MAIL").
    const std::uint8_t key5[7] = {0x20, 0, 0, 0, 0, 0, 0};
    m_form->kwHIDData1Data(QString(), QString(), 7, key5, 7);
    ASSERT_TRUE(SpinUntil([&] { return m_mic->setCalls == 1; }));
    EXPECT_EQ(ProfileID(), Dword(0));
    ASSERT_TRUE(SpinUntil([&] { return m_form->ConfigOutbox().WindowSilent(); }));
    EXPECT_TRUE(m_form->ConfigOutbox().AwaitingAnswer());
    using Item = TConfigWindowOutbox::TItem;
    const std::deque<Item> waiting = {{true, WM_SWITCH_PROFILE, 3, 0},
                                      {false, WM_REPORT_RATE_CHANGED, 8, 0},
                                      {false, WM_CPI_INDEX_CHANGED, 3, 0},
                                      {true, WM_SWITCH_PROFILE, 0, 0}};
    EXPECT_EQ(m_form->ConfigOutbox().Pending(), waiting);

    ASSERT_EQ(::kill(pid, SIGCONT), 0);
    for (const char *line : {"recv 7040 1 0", "recv 7040 3 0", "recv 7043 8 0", "recv 7042 3 0", "recv 7040 0 0"}) {
        ASSERT_TRUE(SpinUntil([&] { return peer->Process().canReadLine() || peer->Process().waitForReadyRead(20); }));
        EXPECT_EQ(peer->NextLine(), QString::fromLatin1(line));
    }
    ASSERT_TRUE(SpinUntil([&] { return m_form->ConfigOutbox().Pending().empty() && !m_form->ConfigOutbox().AwaitingAnswer(); }));
    // The window's answers ended on the mouse's last profile.
    EXPECT_EQ(ProfileID(), Dword(0));
    EXPECT_FALSE(peer->Process().waitForReadyRead(300)) << peer->NextLine().toStdString();
}

TEST_F(MonitorTest, AConfigurationProgramThatEndsWithSwitchesPendingLeavesNothingBehind)
{
    Form();
    auto peer = StartSwitchingConfigPeer();
    ASSERT_EQ(::kill(pid_t(peer->Process().processId()), SIGSTOP), 0);
    Reports({Profile(2), Rate(4), Profile(3)});
    ASSERT_TRUE(SpinUntil([&] { return m_form->ConfigOutbox().Pending().size() == 2; }));
    // The first switch was sent and waits for its answer: the wait below is
    // for the end of that wait, not a moment before it began.
    ASSERT_TRUE(m_form->ConfigOutbox().AwaitingAnswer());
    peer.reset(); // killed while stopped: the pending messages have no window
    ASSERT_TRUE(SpinUntil([&] { return !m_form->ConfigOutbox().AwaitingAnswer(); }));
    EXPECT_TRUE(m_form->ConfigOutbox().Pending().empty());
    EXPECT_EQ(ProfileID(), Dword(3));

    // A configuration program started afterwards gets the next report.
    auto next = StartSwitchingConfigPeer();
    Reports({Profile(1)});
    ASSERT_TRUE(SpinUntil([&] { return next->Process().canReadLine() || next->Process().waitForReadyRead(20); }));
    EXPECT_EQ(next->NextLine(), QStringLiteral("recv 7040 1 0"));
}

TEST_F(MonitorTest, MixerErrorBoxesShowOneAfterTheOtherWithoutALoopOfTheirOwn)
{
    m_ownMessageBoxes = true;
    Form();
    // A box with a loop of its own would be closed by this, after the switch
    // posted before it had been handled inside it.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    closer.start(50);

    m_mic->status = MicStatus::NoMuteControl;
    m_mic->showsErrors = true;
    Reports({Profile(2)}); // its switch is handled from the loop
    m_form->MicrophoneMute();
    EXPECT_EQ(ProfileID(), "<none>") << "a switch was handled inside the mute";
    EXPECT_EQ(MessageBoxShowingInTurn(), nullptr); // shown from the loop, after the handler
    ASSERT_TRUE(SpinUntil([&] { return MessageBoxShowingInTurn() != nullptr; }));
    QPointer<TFrmDialog> first = MessageBoxShowingInTurn();
    // The suite's own message, OK alone, centred on the screen.
    EXPECT_EQ(first->LabelText->text(), QStringLiteral("GetLineInfo Error"));
    EXPECT_EQ(first->LabelTitle->text(), QStringLiteral("WARNING"));
    EXPECT_FALSE(first->isModal());
    EXPECT_FALSE(first->BTNCANCEL->isVisible());
    EXPECT_EQ(first->pos(), hkt::skin::CentredPosition(nullptr, first->size()).value_or(QPoint(-1, -1)));
    // The switch is handled from the main loop while the box is open.
    ASSERT_TRUE(SpinUntil([&] { return ProfileID() == Dword(2); }));
    EXPECT_EQ(MessageBoxShowingInTurn(), first);
    QTest::mouseClick(first->BTNOK, Qt::LeftButton);
    // The second box comes once the first is closed.
    ASSERT_TRUE(SpinUntil([&] { return MessageBoxShowingInTurn() != nullptr && MessageBoxShowingInTurn() != first; }));
    EXPECT_EQ(MessageBoxShowingInTurn()->LabelText->text(), QStringLiteral("GetLineInfo Error"));
    QTest::mouseClick(MessageBoxShowingInTurn()->BTNOK, Qt::LeftButton);
    ASSERT_TRUE(SpinUntil([&] { return MessageBoxShowingInTurn() == nullptr; }));
    Spin();
    EXPECT_EQ(MessageBoxShowingInTurn(), nullptr);
    EXPECT_EQ(m_mic->setCalls, 0);
}

TEST_F(MonitorTest, AReaderRestartRunsNothingInsideIt)
{
    auto hid = std::make_shared<CountingHidBackend>();
    m_hid = hid;
    Form();
    Reports({Profile(4)});
    m_form->RestartDeviceReading();
    EXPECT_EQ(ProfileID(), "<none>") << "the posted switch ran inside the restart";
    EXPECT_EQ(hid->enumerations, 0);
    // Both follow from the loop: the switch first, then the readers.
    ASSERT_TRUE(SpinUntil([&] { return hid->enumerations == 1; }));
    EXPECT_EQ(ProfileID(), Dword(4));
}

namespace {

// The monitor in front of the simulated mouse (strict: a host mistake fails
// the test), through the real HID component and device routines.
class MonitorOnAMouseTest : public MonitorTest {
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        m_mouse = std::make_shared<hkt::sim::VirtualMouse>();
        m_mouse->SetStrict(true);
        m_hid = hkt::sim::MakeInProcessHidBackend(m_mouse);
    }
    void TearDown() override
    {
        MonitorTest::TearDown();
        for (const auto &v : m_mouse->Violations())
            ADD_FAILURE() << "host mistake: " << v.what;
    }
    // The monitor follows the mouse's profile 0 (a fresh mouse's).
    void OnTheMouse()
    {
        ASSERT_TRUE(m_dm->SwitchToProfile(0));
        Form();
        m_form->kwHIDData1->GetHIDDeviceList().clear(); // whatever config.ini beside the tests lists
    }
    // The mouse's active profile set as its firmware does, without a report:
    // a change made while no reader was open.
    void ActiveProfileUnheard(std::uint8_t p) { m_mouse->Poke(0x43, {&p, 1}); }
    // The requests to read the active profile the mouse has had.
    int ActiveProfileReads() const
    {
        int n = 0;
        for (const auto &e : m_mouse->Log())
            if (e.kind == hkt::sim::LogKind::SetFeature && e.bytes.size() >= 5 && e.bytes[0] == 2 &&
                e.bytes[1] == 3 && e.bytes[2] == 0x43 && e.bytes[3] == 0 && e.bytes[4] == 1)
                ++n;
        return n;
    }
    bool OutboxIdle() const
    {
        return m_form->ConfigOutbox().Pending().empty() && !m_form->ConfigOutbox().AwaitingAnswer();
    }

    std::shared_ptr<hkt::sim::VirtualMouse> m_mouse;
};

} // namespace

TEST_F(MonitorOnAMouseTest, ReopenedReadersPassOnTheProfileTheMouseChangedWhileNoneWasOpen)
{
    StoreButtonRow(3, 5, 28);
    OnTheMouse();
    auto peer = StartSwitchingConfigPeer();
    ASSERT_EQ(m_dm->FProfileIndex, 0);

    ActiveProfileUnheard(3);
    m_form->RestartDeviceReading();
    // As if the mouse had reported it: stored, followed, sent on; then the
    // window is asked to read the levels and rates nobody heard either.
    EXPECT_EQ(NextPeerLine(*peer), QStringLiteral("recv 7040 3 0"));
    EXPECT_EQ(NextPeerLine(*peer), QStringLiteral("recv 7044 0 0"));
    ASSERT_TRUE(SpinUntil([&] { return ProfileID() == Dword(3) && OutboxIdle(); }));
    EXPECT_EQ(m_dm->FProfileIndex, 3);
    m_form->WMDeviceKey(5, 1);
    EXPECT_EQ(m_mic->setCalls, 1) << "profile 3's MAIL";

    // The readers are open again: the next switch comes as a report.
    EXPECT_GT(m_form->kwHIDData1->RunningReaderCount(), 0);
    ASSERT_TRUE(m_mouse->SetProfile(1));
    EXPECT_EQ(NextPeerLine(*peer), QStringLiteral("recv 7040 1 0"));
    ASSERT_TRUE(SpinUntil([&] { return ProfileID() == Dword(1) && OutboxIdle(); }));

    // A reopening with nothing changed reads the mouse and sends no switch,
    // only the request to read the levels and rates.
    const int reads = ActiveProfileReads();
    m_form->RestartDeviceReading();
    ASSERT_TRUE(SpinUntil([&] { return ActiveProfileReads() > reads; }));
    EXPECT_EQ(NextPeerLine(*peer), QStringLiteral("recv 7044 0 0"));
    Spin();
    EXPECT_TRUE(OutboxIdle());
    EXPECT_FALSE(peer->Process().waitForReadyRead(300)) << peer->NextLine().toStdString();
    EXPECT_EQ(ProfileID(), Dword(1));
    EXPECT_EQ(m_dm->FProfileIndex, 1);
}

TEST_F(MonitorOnAMouseTest, AReopeningOnAMouseThatNamesNoProfileOrIsGoneChangesNothing)
{
    OnTheMouse();
    auto peer = StartSwitchingConfigPeer();
    ActiveProfileUnheard(7);
    const int reads = ActiveProfileReads();
    m_form->StartDeviceReading();
    EXPECT_EQ(ActiveProfileReads(), reads + 1);
    // No switch; the levels and rates are for the window to read.
    EXPECT_EQ(NextPeerLine(*peer), QStringLiteral("recv 7044 0 0"));
    m_mouse->Unplug();
    m_form->StartDeviceReading();
    Spin();
    EXPECT_EQ(ProfileID(), "<none>");
    EXPECT_EQ(m_dm->FProfileIndex, 0);
    EXPECT_TRUE(OutboxIdle());
    EXPECT_FALSE(peer->Process().waitForReadyRead(300)) << peer->NextLine().toStdString();
}

TEST_F(MonitorTest, ReportsPutNothingOnStderrUnlessTheMonitorsDebugLinesAreAskedFor)
{
    Form();
    m_dm->FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[5].FunctionIndex = 28;
    LogCapture log;
    KeyReport(5);
    KeyReport(22);
    Reports({{7, 0, 0}, Profile(2), Dpi(3), Rate(8)});
    ASSERT_TRUE(SpinUntil([&] { return m_mic->setCalls == 1 && ProfileID() == Dword(2); }));
    Spin();
    EXPECT_TRUE(LogCapture::Lines().isEmpty()) << LogCapture::Lines().join(QLatin1Char('\n')).toStdString();

    // The switch that turns them on: QT_LOGGING_RULES="hkt75.monitor.debug=true".
    QLoggingCategory::setFilterRules(QStringLiteral("hkt75.monitor.debug=true"));
    KeyReport(5);
    const bool said =
        SpinUntil([&] { return LogCapture::Lines().contains(QStringLiteral("KeyIndex = 5 postmessage record!")); });
    QLoggingCategory::setFilterRules(QString());
    EXPECT_TRUE(said) << LogCapture::Lines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(MonitorTest, AStalledConfigurationWindowsDroppedMessagesAreSaidOnce)
{
    auto peer = StartConfigPeer({QStringLiteral("--on"), QStringLiteral("7040=sleep:60000")});
    TConfigWindowOutbox outbox([this] { return FindConfigWindow(Runtime()); });
    LogCapture log;
    outbox.Send(WM_SWITCH_PROFILE, 1, 0);
    ASSERT_TRUE(outbox.AwaitingAnswer());
    // Alternating, so none supersedes the one before it.
    for (std::size_t i = 0; i < TConfigWindowOutbox::kMaxPending + 100; ++i)
        outbox.Post(i % 2 ? WM_CPI_INDEX_CHANGED : WM_REPORT_RATE_CHANGED, std::int64_t(i % 5), 0);
    EXPECT_EQ(outbox.Pending().size(), TConfigWindowOutbox::kMaxPending);
    EXPECT_EQ(LogCapture::Lines().filter(QStringLiteral("dropping")).size(), 1)
        << LogCapture::Lines().join(QLatin1Char('\n')).toStdString();
}
