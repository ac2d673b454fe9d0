// The "kw.local" stream: exact bytes, line splitting, canonical form and the
// reader's refusals of damaged streams.
#include "config/ui/kwLanguageStream.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray Hex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

// Sources {"Apply","Exit"}, language "0409" with "Apply=Go", worked out by hand:
// source block 13 units, L = 1, ID 4 units, lines block 10 units.
const QByteArray kGolden = Hex(
    "0d000000"
    "410070007000 6c007900 0d000a00 45007800 69007400 0d000a00"
    "01000000"
    "04000000 30003400 30003900"
    "0a000000 41007000 70006c00 79003d00 47006f00 0d000a00");

TkwLangData GoldenData()
{
    return {{"Apply", "Exit"}, {{"0409", {"Apply=Go"}}}};
}

QByteArray U32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i) & 0xFF);
    return b;
}

QByteArray Str(const QString &s)
{
    QByteArray b = U32(quint32(s.size()));
    for (QChar c : s) {
        b.append(char(c.unicode() & 0xFF));
        b.append(char(c.unicode() >> 8));
    }
    return b;
}

} // namespace

TEST(kwLocalStream, GoldenVectorBothWays)
{
    ASSERT_EQ(kGolden.size(), 70);
    const auto written = kwWriteLangStream(GoldenData());
    ASSERT_TRUE(written);
    EXPECT_EQ(written->toHex(' '), kGolden.toHex(' '));

    const auto read = kwReadLangStream(kGolden);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, GoldenData());
}

// A second vector worked out by hand from the format's description: two
// languages (the second without lines), a source outside the BMP (U+1F5B1 as
// the surrogate pair D83D DDB1) and Han text (U+786E U+5B9A). Sources sort by
// UTF-16 code unit, so "OK" (004F) comes before the surrogate pair.
TEST(kwLocalStream, TwoLanguagesNonBmpSourceAndEmptyLineBlockByHand)
{
    const QByteArray bytes = Hex(
        "08000000 4f004b00 0d000a00 3dd8b1dd 0d000a00" // source block, 8 units
        "02000000"                                       // L = 2
        "04000000 30003800 30003400"                     // "0804"
        "07000000 4f004b00 3d00 6e78 9a5b 0d000a00"      // "OK=" U+786E U+5B9A CR LF
        "04000000 30003400 30003400"                     // "0404"
        "00000000");                                     // no lines
    ASSERT_EQ(bytes.size(), 70);
    const QString mouse = QString::fromUtf16(u"\U0001F5B1");
    const TkwLangData data{{"OK", mouse},
                           {{"0804", {QString::fromUtf16(u"OK=\u786E\u5B9A")}}, {"0404", {}}}};
    const auto written = kwWriteLangStream(data);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->toHex(' '), bytes.toHex(' '));
    const auto read = kwReadLangStream(bytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, data);
    ASSERT_EQ(read->Original.size(), 2);
    EXPECT_EQ(read->Original[1].size(), 2); // the pair stays two units, unchanged
}

TEST(kwLocalStream, EmptyListIsEightZeroBytes)
{
    const QByteArray empty(8, '\0');
    const auto read = kwReadLangStream(empty);
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->Original.isEmpty());
    EXPECT_TRUE(read->Resources.isEmpty());
    EXPECT_EQ(kwWriteLangStream(*read).value(), empty);
}

TEST(kwLocalStream, ReaderSortsAndDropsRepeatedLinesWriterWritesCanonicalForm)
{
    // Unsorted, repeated lines; lone LF and CR breaks; a line without "=".
    const QByteArray bytes = Str("Exit\nApply\rExit\r\n") + U32(1) + Str("0804") +
                             Str("b=2\r\na=1\r\nb=2\r\nnoequals\r\n");
    const auto read = kwReadLangStream(bytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Original, QStringList({"Apply", "Exit"}));
    ASSERT_EQ(read->Resources.size(), 1);
    EXPECT_EQ(read->Resources[0].Lines, QStringList({"a=1", "b=2", "noequals"}));

    const QByteArray canonical = Str("Apply\r\nExit\r\n") + U32(1) + Str("0804") +
                                 Str("a=1\r\nb=2\r\nnoequals\r\n");
    EXPECT_EQ(kwWriteLangStream(*read).value(), canonical);
    EXPECT_EQ(kwReadLangStream(canonical).value(), *read);
}

TEST(kwLocalStream, LanguagesKeepStreamOrderEvenWhenIdsRepeat)
{
    const TkwLangData data{{}, {{"0804", {"A=1"}}, {"0409", {}}, {"0804", {"A=2"}}}};
    const auto bytes = kwWriteLangStream(data);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(kwReadLangStream(*bytes).value(), data);
}

TEST(kwLocalStream, NonBmpTextsAndLoneSurrogatesSurviveRoundTrip)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x96\xB1 Mouse");      // U+1F5B1
    const QString lone = QString(QChar(0xD800)) + QStringLiteral("x");        // unpaired high surrogate
    const QString han = QString::fromUtf8("\xE8\xAE\xBE\xE7\xBD\xAE");        // 设置
    const TkwLangData data{kwSortedUnique({emoji, lone, "Exit"}),
                           {{"0804", kwSortedUnique({emoji + "=" + han, lone + "=" + emoji})}}};
    const auto bytes = kwWriteLangStream(data);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(kwReadLangStream(*bytes).value(), data);
}

TEST(kwLocalStream, SplitLinesTable)
{
    const struct {
        QString block;
        QStringList lines;
    } cases[] = {
        {"a\r\nb", {"a", "b"}},         {"a\rb", {"a", "b"}},
        {"a\nb", {"a", "b"}},           {QString("a") + QChar(0x0B) + "b", {"a", "b"}},
        {"a\fb", {"a", "b"}},           {QString("a") + QChar(0x2028) + "b", {"a", "b"}},
        {QString("a") + QChar(0x2029) + "b", {"a", "b"}},
        {"a\r\n", {"a"}},               {"", {}},
        {"\r\n", {""}},                 {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},     {"a\r\r\nb", {"a", "", "b"}},
        {"no break", {"no break"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(kwSplitLines(c.block), c.lines) << c.block.toStdString();
}

TEST(kwLocalStream, LineSourceAndTranslation)
{
    bool has = false;
    EXPECT_EQ(kwLineSource("A=B=C", &has), "A");
    EXPECT_TRUE(has);
    EXPECT_EQ(kwLineTranslation("A=B=C"), "B=C");
    EXPECT_EQ(kwLineSource("Foo", &has), "");
    EXPECT_FALSE(has);
    EXPECT_EQ(kwLineTranslation("Exit="), "");
}

TEST(kwLocalStream, EveryTruncationOfAValidStreamIsRefused)
{
    for (qsizetype n = 0; n < kGolden.size(); ++n) {
        QString why;
        EXPECT_FALSE(kwReadLangStream(kGolden.left(n), &why)) << n;
        EXPECT_FALSE(why.isEmpty()) << n;
    }
}

TEST(kwLocalStream, DamagedStreamsAreRefusedWhole)
{
    const struct {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        {"huge source count", U32(0xFFFFFFFFu) + U32(0)},
        {"source count one unit too long", U32(3) + QByteArray(4, 'a') + U32(0)},
        {"huge language count", Str("") + U32(0xFFFFFFFFu)},
        {"language count beyond the bytes", Str("") + U32(2) + Str("0409") + Str("")},
        {"language count too small: bytes left", Str("") + U32(1) + Str("0409") + Str("") + Str("0804") + Str("")},
        {"huge line count", Str("") + U32(1) + Str("0409") + U32(0x7FFFFFFFu)},
        {"one stray byte", kGolden + QByteArray(1, '\0')},
        {"empty identifier", Str("") + U32(1) + Str("") + Str("a=b\r\n")},
        {"source with =", Str("a=b\r\n") + U32(0)},
    };
    for (const auto &c : cases) {
        QString why;
        EXPECT_FALSE(kwReadLangStream(c.bytes, &why)) << c.what;
        EXPECT_FALSE(why.isEmpty()) << c.what;
    }
}

TEST(kwLocalStream, WriterRefusesWhatCannotReadBackTheSame)
{
    const struct {
        const char *what;
        TkwLangData data;
    } cases[] = {
        {"break in a source", {{"two\nlines"}, {}}},
        {"paragraph separator in a source", {{QString("a") + QChar(0x2029)}, {}}},
        {"= in a source", {{"a=b"}, {}}},
        {"break in a line", {{}, {{"0409", {"a=b\rc"}}}}},
        {"empty identifier", {{}, {{"", {"a=b"}}}}},
    };
    for (const auto &c : cases) {
        QString why;
        EXPECT_FALSE(kwWriteLangStream(c.data, &why)) << c.what;
        EXPECT_FALSE(why.isEmpty()) << c.what;
    }
}

TEST(kwLocalStream, FileSaveAndLoadAndOversizedFileIsRefusedUnread)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("kw.local");
    ASSERT_TRUE(kwSaveLangFile(path, GoldenData()));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), kGolden);
    f.close();
    EXPECT_EQ(kwLoadLangFile(path).value(), GoldenData());

    // A failed save keeps the previous file.
    EXPECT_FALSE(kwSaveLangFile(path, TkwLangData{{"a=b"}, {}}));
    EXPECT_EQ(kwLoadLangFile(path).value(), GoldenData());

    const QString big = dir.filePath("big.local");
    QFile b(big);
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    ASSERT_TRUE(b.resize(kwMaxLanguageFileSize + 1)); // sparse, costs no disk
    b.close();
    QString why;
    EXPECT_FALSE(kwLoadLangFile(big, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(kwLoadLangFile(dir.filePath("missing.local")));
}

TEST(kwLocalStream, NonRegularFilesAreRefusedWithoutBlocking)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath("fifo.local");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    QString why;
    EXPECT_FALSE(kwLoadLangFile(fifo, &why)); // would block forever if opened
    EXPECT_TRUE(why.contains("not a regular file")) << why.toStdString();
    EXPECT_FALSE(kwLoadLangFile(dir.path(), &why));
}
