// The udev rule that opens the mouse's hidraw nodes to the seat's user: its
// own command, run as udev runs it, on a table of report descriptors, must
// succeed exactly for the nodes the suite's HID access code would open; and
// the package's maintainer scripts reload and retrigger udev around it.

#include "platform/HidBackend.h"
#include "platform/HidDescriptor.h"
#include "support/HidDescriptorFixtures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace hkt::testfixtures;

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The PROGRAM of the one rule that adds the uaccess tag.
QString RuleProgram()
{
    QString program;
    int rules = 0;
    const QString text = QString::fromUtf8(ReadAll(QStringLiteral(HKT75_SOURCE_DIR "/data/70-hkt75.rules")));
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1Char('#')) || !line.contains(QStringLiteral("TAG+=\"uaccess\"")))
            continue;
        ++rules;
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("PROGRAM=\"([^\"]*)\"")).match(line);
        if (m.hasMatch())
            program = m.captured(1);
    }
    return rules == 1 ? program : QString();
}

// The command split into words as udev splits it (blanks, quotes grouping),
// %p replaced by `devpath`, and a program named without a path taken from
// the folder it is installed in beside the rules: here, the build's.
QStringList RuleCommand(const QString &program, const QString &devpath)
{
    QStringList words;
    QString word;
    QChar quote;
    bool inWord = false;
    for (const QChar c : program) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                word += c;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    for (QString &w : words)
        w.replace(QStringLiteral("%p"), devpath);
    if (!words.isEmpty() && !words[0].contains(QLatin1Char('/')))
        words[0] = QStringLiteral(HKT75_BIN_DIR "/") + words[0];
    return words;
}

// Runs the rule's command for a node whose report descriptor is `bytes`
// (none when null): its exit code, -1 when it could not run.
int RunRuleOn(const QTemporaryDir &tmp, const Bytes *bytes)
{
    // udev runs the command with %p the node's path under /sys; "/.." + a
    // folder of ours makes /sys%p that folder.
    const QString node = tmp.filePath(QStringLiteral("node"));
    QDir(node).removeRecursively();
    EXPECT_TRUE(QDir().mkpath(node + QStringLiteral("/device")));
    if (bytes) {
        QFile f(node + QStringLiteral("/device/report_descriptor"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char *>(bytes->data()), qint64(bytes->size()));
    }
    const QStringList command = RuleCommand(RuleProgram(), QStringLiteral("/..") + node);
    if (command.isEmpty())
        return -1;
    QProcess p;
    p.start(command[0], command.mid(1));
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    return p.exitCode();
}

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A boot keyboard (modifiers and six keys) as one application collection.
const Bytes kKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x75, 0x08, 0x95, 0x06, 0x19, 0x00, 0x29, 0x65, 0x25, 0x65,
    0x81, 0x00, 0xC0,
};
// A vendor collection with the given page item, usage item and collection
// type, holding one 8-byte feature report.
Bytes VendorCollection(const Bytes &pageItem, const Bytes &usageItem, std::uint8_t type)
{
    return Joined({pageItem, usageItem, {0xA1, type},
                   {0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x08, 0x09, 0x01, 0xB1, 0x02, 0xC0}});
}
const Bytes kShortPage = {0x06, 0xA0, 0xFF};
const Bytes kLongPage = {0x07, 0xA0, 0xFF, 0x00, 0x00};
const Bytes kUsage1 = {0x09, 0x01};

TEST(UdevRule, ItsCommandSucceedsExactlyForTheCollectionTheSuiteOpens)
{
    ASSERT_FALSE(RuleProgram().isEmpty()) << "one uaccess rule, with a PROGRAM test";
    const struct {
        const char *name;
        Bytes descriptor;
        bool tagged;
    } cases[] = {
        {"the mouse's vendor interface", kVendorDescriptor, true},
        {"the mouse's pointer interface", kBootMouseDescriptor, false},
        {"keyboard, consumer and the vendor collection on one node", kMultiCollectionDescriptor, true},
        {"the page as a 4-byte item", VendorCollection(kLongPage, kUsage1, 0x01), true},
        {"usage given with its page in one item", VendorCollection({}, {0x0B, 0x01, 0x00, 0xA0, 0xFF}, 0x01), true},
        {"keyboard with a vendor collection of usage 2",
         Joined({kKeyboard, VendorCollection(kShortPage, {0x09, 0x02}, 0x01)}), false},
        {"keyboard with a vendor collection that is not an application",
         Joined({kKeyboard, VendorCollection(kShortPage, kUsage1, 0x02)}), false},
        {"the vendor collection nested in the keyboard's",
         Joined({Bytes(kKeyboard.begin(), kKeyboard.end() - 1), VendorCollection(kShortPage, kUsage1, 0x01), {0xC0}}),
         false},
        {"the bytes as a logical maximum's data",
         Joined({{0x27, 0x06, 0xA0, 0xFF, 0x00}, kBootMouseDescriptor}), false},
        {"the bytes inside a long item", Joined({{0xFE, 0x03, 0x00, 0x06, 0xA0, 0xFF}, kKeyboard}), false},
        {"vendor page, usage 1, cut before its end", Bytes(kVendorDescriptor.begin(), kVendorDescriptor.end() - 1),
         false},
        {"an empty descriptor", {}, false},
    };
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RunRuleOn(tmp, &c.descriptor), c.tagged ? 0 : 1);
        // The HID access code's own verdict on the same bytes.
        const auto parsed = hkt::platform::ParseHidDescriptor(c.descriptor);
        bool opened = false;
        for (const auto &col : parsed ? parsed->collections : std::vector<hkt::platform::HidCollectionInfo>{})
            opened = opened || hkt::platform::HidCollectionIs(col, 0xFFA0, 1);
        EXPECT_EQ(opened, c.tagged);
    }
    EXPECT_EQ(RunRuleOn(tmp, nullptr), 1) << "no descriptor to read";
}

TEST(UdevRule, MatcherRefusesAWrongCommandLine)
{
    const QString matcher = QStringLiteral(HKT75_BIN_DIR "/hkt75-hidmatch");
    for (const QStringList &args : {QStringList{}, QStringList{"/dev/null", "FFA0"},
                                    QStringList{"/dev/null", "FFA0G", "1"}, QStringList{"/dev/null", "10000", "1"}}) {
        QProcess p;
        p.start(matcher, args);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 2) << args.join(' ').toStdString();
    }
}

// The maintainer scripts, run with a udevadm of ours that logs its calls and
// answers the reload as `reloadWorks` says.
QString RunMaintainerScript(const QString &script, const QString &argument, bool reloadWorks)
{
    QTemporaryDir bin;
    const QString log = bin.filePath(QStringLiteral("calls"));
    QFile fake(bin.filePath(QStringLiteral("udevadm")));
    EXPECT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write(QStringLiteral("#!/bin/sh\necho \"$*\" >> '%1'\n[ \"$1\" != control ] || exit %2\nexit 0\n")
                   .arg(log)
                   .arg(reloadWorks ? 0 : 1)
                   .toUtf8());
    fake.close();
    fake.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), bin.path() + QStringLiteral(":") + env.value(QStringLiteral("PATH")));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral(HKT75_SOURCE_DIR "/packaging/") + script, argument});
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    return QString::fromUtf8(ReadAll(log));
}

TEST(UdevRule, InstallAndRemovalReloadTheRulesAndRetriggerTheNodes)
{
    const QString reloadAndRetrigger =
        QStringLiteral("control --reload-rules\ntrigger --subsystem-match=hidraw --action=change\n");
    const struct {
        const char *script;
        const char *argument;
        bool reloadWorks;
        QString calls;
    } cases[] = {
        {"postinst", "configure", true, reloadAndRetrigger},
        {"postrm", "remove", true, reloadAndRetrigger},
        // No udev running (a chroot): the reload fails and nothing is retriggered.
        {"postinst", "configure", false, QStringLiteral("control --reload-rules\n")},
        {"postrm", "remove", false, QStringLiteral("control --reload-rules\n")},
        // The rule is still installed on an upgrade, and gone already on purge.
        {"postrm", "upgrade", true, QString()},
        {"postrm", "purge", true, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.script) + " " + c.argument + (c.reloadWorks ? "" : ", no udev"));
        EXPECT_EQ(RunMaintainerScript(QString::fromLatin1(c.script), QString::fromLatin1(c.argument), c.reloadWorks)
                      .toStdString(),
                  c.calls.toStdString());
    }
}

} // namespace
