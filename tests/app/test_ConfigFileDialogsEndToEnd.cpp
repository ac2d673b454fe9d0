// LOAD FILE and SAVE AS on the real HKT75, in English and in Chinese: the
// window opens centred, SAVE AS opens the real file dialog, a name typed into
// it becomes a file in the profile folder holding the current profile's
// bytes; LOAD FILE of an edited copy reaches the window and, with APPLY, the
// simulated mouse; a file of another version is refused with the system's
// message, and a name that is no file is said so in the suite's message, not
// Qt's. With HKT75_SHOT_DIR set, the window with each dialog open is saved
// there as a picture for a person to look at.
#include "ConfigEndToEndFixture.h"

#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <cstring>

using hkt::testapp::ConfigEndToEnd;
using hkt::testfixtures::WaitFor;

namespace {

// Where the window's controls are (window coordinates).
constexpr QPoint kLoadFile(682, 602);
constexpr QPoint kSaveAs(752, 602);
const QRect kPollingRates(470 + 10, 118 + 292, 300, 20); // the four rate radios on GENERAL

// Report rate code of the mouse (memory 0x48) for the rates of the profile.
constexpr int kRateAddress = 0x48;

class ConfigFileDialogsEndToEnd : public hkt::testapp::ConfigEndToEndInLanguage {
protected:
    // Types `name` into the file dialog `dialog` and confirms it.
    bool TypeIntoDialog(std::uint32_t dialog, const QString &name)
    {
        const QString id = QString::number(dialog);
        return XDo({QStringLiteral("windowfocus"), id}) &&
               XDo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), name}) &&
               XDo({QStringLiteral("key"), QStringLiteral("Return")});
    }
    // The current profile's bytes as the stores hold them.
    QByteArray StoredProfile(int p)
    {
        auto dm = DataModule();
        auto info = std::make_unique<TMouseProfileInfo>();
        if (!dm->ReadProfileInfo(*info, p))
            return {};
        return QByteArray(reinterpret_cast<const char *>(info.get()), sizeof *info);
    }
};

// A profile image without its identity stamp (the time of its last change,
// which the window renews when it refreshes its pages at start-up).
QByteArray Unstamped(QByteArray image)
{
    if (image.size() >= 72)
        std::memset(image.data() + offsetof(TProfileHeader, FProfileUID), 0, sizeof(TProfileUIDData));
    return image;
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

TEST_P(ConfigFileDialogsEndToEnd, SaveAsAndLoadFileThroughTheRealDialogs)
{
    const QString tag = LanguageTag();
    const QString main = StartInLanguage();
    ASSERT_FALSE(main.isEmpty());
    QProcess &config = *m_procs.back();
    const std::uint32_t mainId = main.toUInt();

    // Opened in the middle of the 1280 x 1024 screen.
    EXPECT_EQ(Shown().front().geometry.topLeft(), QPoint(239, 193));

    const QString folder = DataModule()->GetPersonalDocumentProfilePath();
    const QString saved = folder + QStringLiteral("mine.pfd");
    ASSERT_FALSE(QFileInfo::exists(saved));

    // SAVE AS: the real dialog, in the profile folder; ".pfd" is added.
    ASSERT_TRUE(ClickAt(main, kSaveAs.x(), kSaveAs.y()));
    const std::uint32_t saveDialog = AwaitNewWindow(1);
    ASSERT_NE(saveDialog, 0u) << "SAVE AS opened no dialog";
    Shot(QStringLiteral("save-as-") + tag);
    ASSERT_TRUE(TypeIntoDialog(saveDialog, QStringLiteral("mine")));
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(saved); }, 20000)) << "no file in " << folder.toStdString();
    const QByteArray profile = StoredProfile(0);
    ASSERT_EQ(qsizetype(profile.size()), qsizetype(PROFILE_RECORD_SIZE));
    EXPECT_TRUE(WaitFor([&] { return Unstamped(ReadAll(saved)) == Unstamped(profile); }, 10000));

    EXPECT_TRUE(WaitFor([&] { return Shown().size() == 1; }, 10000));

    // An edited copy (125 Hz instead of the factory 500 Hz) and a copy of
    // another version.
    QByteArray edited = profile;
    const std::uint16_t rate125 = 125;
    std::memcpy(edited.data() + 872 + offsetof(TMOUSECONFIGINFO, ReportRate), &rate125, sizeof rate125);
    ASSERT_TRUE(WriteAll(folder + QStringLiteral("other.pfd"), edited));
    QByteArray wrong = profile;
    const std::int32_t version = PROFILE_FILE_VERSION - 1;
    std::memcpy(wrong.data(), &version, sizeof version);
    ASSERT_TRUE(WriteAll(folder + QStringLiteral("wrong.pfd"), wrong));

    // LOAD FILE of the wrong version: the system's message, nothing loaded.
    ASSERT_TRUE(ClickAt(main, kLoadFile.x(), kLoadFile.y()));
    std::uint32_t openDialog = AwaitNewWindow(1);
    ASSERT_NE(openDialog, 0u) << "LOAD FILE opened no dialog";
    Shot(QStringLiteral("load-file-") + tag);
    ASSERT_TRUE(TypeIntoDialog(openDialog, QStringLiteral("wrong.pfd")));
    // The message dialog is the system's own (478 x 292).
    const std::uint32_t message = AwaitNewWindow(1, QSize(478, 292));
    ASSERT_NE(message, 0u) << "no message for a file of another version";
    Shot(QStringLiteral("load-file-refused-") + tag);
    EXPECT_EQ(Unstamped(StoredProfile(0)), Unstamped(profile));
    ASSERT_TRUE(XDo({QStringLiteral("windowfocus"), QString::number(message)}));
    ASSERT_TRUE(XDo({QStringLiteral("key"), QStringLiteral("Return")}));
    ASSERT_TRUE(WaitFor([&] { return Shown().size() == 1; }, 10000));

    // LOAD FILE of the edited copy: the window shows 125 Hz, and APPLY
    // writes it into the mouse.
    const QByteArray ratesBefore = m_probe->Look(mainId, kPollingRates);
    EXPECT_NE(Dump(kRateAddress, 1), std::vector<int>{0x08});
    ASSERT_TRUE(ClickAt(main, kLoadFile.x(), kLoadFile.y()));
    openDialog = AwaitNewWindow(1);
    ASSERT_NE(openDialog, 0u);
    ASSERT_TRUE(TypeIntoDialog(openDialog, QStringLiteral("other.pfd")));
    EXPECT_TRUE(WaitFor([&] { return m_probe->Look(mainId, kPollingRates) != ratesBefore; }, 10000))
        << "the loaded profile did not reach the window";
    EXPECT_TRUE(WaitFor([&] { return Unstamped(StoredProfile(0)) == Unstamped(edited); }, 10000));
    ASSERT_TRUE(ClickApply());
    EXPECT_TRUE(WaitFor([&] { return Dump(kRateAddress, 1) == std::vector<int>{0x08}; }, 20000));
    EXPECT_EQ(config.state(), QProcess::Running);
}

// LOAD FILE of a name that is no file: the suite's own message, as for a
// file that cannot be read, centred on the window, and nothing loaded.
TEST_P(ConfigFileDialogsEndToEnd, LoadFileOfAMissingFileSaysSoInTheSuitesOwnMessage)
{
    const QString tag = LanguageTag();
    const QString main = StartInLanguage();
    ASSERT_FALSE(main.isEmpty());
    QProcess &config = *m_procs.back();
    const QByteArray profile = StoredProfile(0);

    ASSERT_TRUE(ClickAt(main, kLoadFile.x(), kLoadFile.y()));
    const std::uint32_t openDialog = AwaitNewWindow(1);
    ASSERT_NE(openDialog, 0u) << "LOAD FILE opened no dialog";
    ASSERT_TRUE(TypeIntoDialog(openDialog, QStringLiteral("missing.pfd")));
    const std::uint32_t message = AwaitNewWindow(1, QSize(478, 292));
    ASSERT_NE(message, 0u) << "no message of the suite's own for a file that is not there";
    // The file dialog has gone: the message alone beside the window, centred on it.
    ASSERT_TRUE(WaitFor([&] { return Shown().size() == 2; }, 10000));
    QRect mainRect, messageRect;
    for (const auto &w : Shown())
        (w.id == message ? messageRect : mainRect) = w.geometry;
    const QPoint off = messageRect.center() - mainRect.center();
    EXPECT_LE(std::abs(off.x()) + std::abs(off.y()), 2) << "off the window's centre by " << off.x() << "," << off.y();
    Shot(QStringLiteral("load-file-missing-") + tag);
    EXPECT_EQ(Unstamped(StoredProfile(0)), Unstamped(profile));
    ASSERT_TRUE(XDo({QStringLiteral("windowfocus"), QString::number(message)}));
    ASSERT_TRUE(XDo({QStringLiteral("key"), QStringLiteral("Return")}));
    ASSERT_TRUE(WaitFor([&] { return Shown().size() == 1; }, 10000));
    EXPECT_EQ(config.state(), QProcess::Running);
}

INSTANTIATE_TEST_SUITE_P(Languages, ConfigFileDialogsEndToEnd, ::testing::Values(0, 1), hkt::testapp::LanguageName);
