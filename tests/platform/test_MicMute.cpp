#include "platform/MicMute.h"

#include "peer/PrivatePulse.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace hkt::platform;

namespace {

class PulseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!m_pulse.Usable())
            GTEST_SKIP() << "pulseaudio cannot run here: " << m_pulse.Error().toStdString();
    }
    PrivatePulse m_pulse;
};

} // namespace

TEST_F(PulseTest, TogglesTheDefaultSourceForReal)
{
    PulseMicMute mic(m_pulse.Server());
    const MicMuteState before = mic.GetMute();
    ASSERT_EQ(before.status, MicStatus::Ok);
    EXPECT_FALSE(before.muted);
    ASSERT_EQ(mic.SetMute(true), MicStatus::Ok);
    EXPECT_TRUE(m_pulse.SourceMuted(QStringLiteral("test_mic")));
    EXPECT_TRUE(mic.GetMute().muted);
    ASSERT_EQ(mic.SetMute(false), MicStatus::Ok);
    EXPECT_FALSE(m_pulse.SourceMuted(QStringLiteral("test_mic")));
}

TEST_F(PulseTest, FollowsTheCurrentDefaultSource)
{
    PulseMicMute mic(m_pulse.Server());
    ASSERT_EQ(mic.GetMute().status, MicStatus::Ok); // connected while test_mic is the default
    m_pulse.Pactl({QStringLiteral("load-module"), QStringLiteral("module-null-source"),
                   QStringLiteral("source_name=second_mic")});
    m_pulse.Pactl({QStringLiteral("set-default-source"), QStringLiteral("second_mic")});
    ASSERT_EQ(mic.SetMute(true), MicStatus::Ok);
    EXPECT_TRUE(m_pulse.SourceMuted(QStringLiteral("second_mic")));
    EXPECT_FALSE(m_pulse.SourceMuted(QStringLiteral("test_mic")));
}

TEST_F(PulseTest, AServerWithoutAMicrophoneReadsAndSetsNothing)
{
    // The microphone is unplugged while we stay connected: there is no
    // default source, so there is nothing to read and nothing to invert.
    PulseMicMute mic(m_pulse.Server());
    ASSERT_EQ(mic.GetMute().status, MicStatus::Ok);
    m_pulse.Pactl({QStringLiteral("unload-module"), QStringLiteral("module-null-source")});
    ASSERT_EQ(m_pulse.Pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sources")}), QString());
    EXPECT_EQ(mic.GetMute().status, MicStatus::Unavailable);
    EXPECT_EQ(mic.SetMute(true), MicStatus::Unavailable);

    // Plugged in again: taken up at the next call, unmuted as it comes.
    m_pulse.Pactl({QStringLiteral("load-module"), QStringLiteral("module-null-source"),
                   QStringLiteral("source_name=test_mic")});
    const MicMuteState again = mic.GetMute();
    EXPECT_EQ(again.status, MicStatus::Ok);
    EXPECT_FALSE(again.muted);
    ASSERT_EQ(mic.SetMute(true), MicStatus::Ok);
    EXPECT_TRUE(m_pulse.SourceMuted(QStringLiteral("test_mic")));
}

TEST_F(PulseTest, ReportsOutsideChangesOnTheMainThread)
{
    PulseMicMute mic(m_pulse.Server());
    int notices = 0;
    mic.SetChangeHandler([&] { ++notices; });
    ASSERT_TRUE(mic.Connect());
    m_pulse.Pactl({QStringLiteral("set-source-mute"), QStringLiteral("test_mic"), QStringLiteral("1")});
    QDeadlineTimer limit(20000);
    while (notices == 0 && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_GE(notices, 1);
    EXPECT_TRUE(mic.GetMute().muted);
}

TEST_F(PulseTest, ServerThatGoesAwayAndComesBackIsTakenUpAgain)
{
    PulseMicMute mic(m_pulse.Server());
    ASSERT_EQ(mic.SetMute(true), MicStatus::Ok);
    m_pulse.Stop();
    EXPECT_EQ(mic.GetMute().status, MicStatus::Unavailable);
    EXPECT_EQ(mic.SetMute(false), MicStatus::Unavailable);
    m_pulse.Start();
    ASSERT_TRUE(m_pulse.Usable());
    const MicMuteState again = mic.GetMute();
    EXPECT_EQ(again.status, MicStatus::Ok);
    EXPECT_FALSE(again.muted); // a new server's source starts unmuted
}

TEST_F(PulseTest, MixerRoadThroughThePulsePluginTogglesTheSameSwitch)
{
    // ALSA's "pulse" control device maps the "Capture" switch onto the
    // default source: the mixer road can be checked without a sound card.
    ::setenv("PULSE_SERVER", m_pulse.Server().toUtf8().constData(), 1);
    AlsaMicMute mixer(QStringLiteral("pulse"));
    const MicMuteState before = mixer.GetMute();
    if (before.status == MicStatus::Unavailable)
        GTEST_SKIP() << "ALSA pulse plugin not installed";
    ASSERT_EQ(before.status, MicStatus::Ok);
    EXPECT_FALSE(before.muted);
    ASSERT_EQ(mixer.SetMute(true), MicStatus::Ok);
    EXPECT_TRUE(m_pulse.SourceMuted(QStringLiteral("test_mic")));
    EXPECT_TRUE(mixer.GetMute().muted);
    ::unsetenv("PULSE_SERVER");
}

TEST(MicMute, NoServerAndNoCardMeanUnavailable)
{
    PulseMicMute mic(QStringLiteral("unix:/nonexistent/hkt75/native"));
    EXPECT_EQ(mic.GetMute().status, MicStatus::Unavailable);
    EXPECT_EQ(mic.SetMute(true), MicStatus::Unavailable);
    AlsaMicMute mixer(QStringLiteral("hw:99"));
    EXPECT_EQ(mixer.GetMute().status, MicStatus::Unavailable);
    EXPECT_EQ(mixer.SetMute(true), MicStatus::Unavailable);
}
