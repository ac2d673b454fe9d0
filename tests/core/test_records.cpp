#include "core/pubunit_device.h"

#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

template <class T>
std::unique_ptr<T> ZeroRecord()
{
    auto p = std::make_unique<T>();
    std::memset(static_cast<void *>(p.get()), 0, sizeof(T));
    return p;
}

template <class T>
std::vector<uint8_t> Bytes(const T &rec)
{
    const uint8_t *b = RecordBytes(rec);
    return std::vector<uint8_t>(b, b + sizeof(T));
}

// A field written through the struct must land at the absolute offset the
// stored format gives, in little-endian order, and nowhere else.
template <class T>
struct FieldCase {
    const char *name;
    std::size_t offset;
    std::size_t width;
    std::function<void(T &, uint64_t)> set;
};

template <class T>
void CheckGoldenOffsets(const std::vector<FieldCase<T>> &cases)
{
    const uint64_t marker = 0x8877665544332211ull;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto rec = ZeroRecord<T>();
        c.set(*rec, marker);
        const auto raw = Bytes(*rec);
        for (std::size_t i = 0; i < raw.size(); ++i) {
            const bool inField = i >= c.offset && i < c.offset + c.width;
            const uint8_t expected = inField ? uint8_t(marker >> (8 * (i - c.offset))) : 0;
            if (raw[i] != expected) {
                ADD_FAILURE() << "byte " << i << " is " << int(raw[i]) << ", expected " << int(expected);
                break;
            }
        }
    }
}

#define CASE(T, name, off, width, expr) \
    FieldCase<T>{name, off, width, [](T &r, uint64_t v) { expr = std::remove_reference_t<decltype(expr)>(v); }}

TEST(Records, ProfileFieldsSitAtTheirAbsoluteOffsets)
{
    using P = TMouseProfileInfo;
    CheckGoldenOffsets<P>({
        CASE(P, "FFileVersion", 0, 4, r.ProfileHeader.FFileVersion),
        CASE(P, "FProfileSize", 56, 4, r.ProfileHeader.FProfileSize),
        CASE(P, "FProfileUID", 64, 1, r.ProfileHeader.FProfileUID.RawData[0]),
        CASE(P, "button0.SingleKey.nKeyValue1", 872 + 2, 2, r.ConfigInfo.ButtonFuncInfo[0].SingleKey.nKeyValue1),
        CASE(P, "button1.ComboKey.nModifier", 872 + 4168 + 68 + 8, 2, r.ConfigInfo.ButtonFuncInfo[1].ComboKey.nModifier),
        CASE(P, "button2.HIDCode.nKeyValue2", 872 + 2 * 4168 + 142, 2, r.ConfigInfo.ButtonFuncInfo[2].HIDCode.nKeyValue2),
        CASE(P, "button3.MacroSetName[1]", 872 + 3 * 4168 + 210, 2, r.ConfigInfo.ButtonFuncInfo[3].MacroSetName[1]),
        CASE(P, "button3.MacroName[0]", 872 + 3 * 4168 + 270, 2, r.ConfigInfo.ButtonFuncInfo[3].MacroName[0]),
        CASE(P, "button4.MacroKeyInfo.nMacroIndex", 872 + 4 * 4168 + 332 + 778, 2, r.ConfigInfo.ButtonFuncInfo[4].MacroKeyInfo.nMacroIndex),
        CASE(P, "button4.DeviceParam1", 872 + 4 * 4168 + 1240, 4, r.ConfigInfo.ButtonFuncInfo[4].DeviceParam1),
        CASE(P, "button5.DeviceParamBytes[2]", 872 + 5 * 4168 + 4066, 1, r.ConfigInfo.ButtonFuncInfo[5].DeviceParamBytes[2]),
        CASE(P, "button5.FireKey.KeyCode", 872 + 5 * 4168 + 4072, 2, r.ConfigInfo.ButtonFuncInfo[5].FireKey.KeyCode),
        CASE(P, "button5.FireKey.KeyValue.nKeyValue1", 872 + 5 * 4168 + 4074, 2, r.ConfigInfo.ButtonFuncInfo[5].FireKey.KeyValue.nKeyValue1),
        CASE(P, "button6.LeftClickFlag", 872 + 6 * 4168 + 4140, 4, r.ConfigInfo.ButtonFuncInfo[6].LeftClickFlag),
        CASE(P, "button6.DeviceParam3", 872 + 6 * 4168 + 4144, 4, r.ConfigInfo.ButtonFuncInfo[6].DeviceParam3),
        CASE(P, "button7.ButtonIndex", 872 + 7 * 4168 + 4148, 2, r.ConfigInfo.ButtonFuncInfo[7].ButtonIndex),
        CASE(P, "button13.FunctionIndex", 872 + 13 * 4168 + 4150, 2, r.ConfigInfo.ButtonFuncInfo[13].FunctionIndex),
        CASE(P, "button13.FunctionType", 872 + 13 * 4168 + 4152, 1, r.ConfigInfo.ButtonFuncInfo[13].FunctionType),
        CASE(P, "button13.DeviceFunctionCode", 872 + 13 * 4168 + 4156, 4, r.ConfigInfo.ButtonFuncInfo[13].DeviceFunctionCode),
        CASE(P, "button5.MenuID", 872 + 5 * 4168 + 4160, 4, r.ConfigInfo.ButtonFuncInfo[5].MenuID),
        CASE(P, "VWheelSpeed", 872 + 75028, 2, r.ConfigInfo.VWheelSpeed),
        CASE(P, "DoubleClickSpeed", 872 + 75032, 2, r.ConfigInfo.DoubleClickSpeed),
        CASE(P, "PointerSpeed", 872 + 75034, 2, r.ConfigInfo.PointerSpeed),
        CASE(P, "PointerAcceleration", 872 + 75036, 2, r.ConfigInfo.PointerAcceleration),
        CASE(P, "ReportRate", 75912, 2, r.ConfigInfo.ReportRate),
        CASE(P, "CurrentCPIIndex", 872 + 75044, 4, r.ConfigInfo.CurrentCPIIndex),
        CASE(P, "UseDiffentXY[4]", 872 + 75056 + 8, 2, r.ConfigInfo.UseDiffentXY[4]),
        CASE(P, "CPIState[2].Y", 872 + 75080 + 22, 2, r.ConfigInfo.CPIState[2].Y),
        CASE(P, "CPIState[4].Enabled", 872 + 75080 + 44, 2, r.ConfigInfo.CPIState[4].Enabled),
        CASE(P, "CPILevel", 872 + 75190, 2, r.ConfigInfo.CPILevel),
        CASE(P, "LEDConfig.R", 86326, 1, r.ConfigInfo.LEDConfig.R),
        CASE(P, "LEDConfig.BREATH_SECOND", 86331, 1, r.ConfigInfo.LEDConfig.BREATH_SECOND),
        CASE(P, "Sensorlift", 86332, 1, r.ConfigInfo.Sensorlift.SensorLift),
        CASE(P, "ButtonCount", 86336, 4, r.ConfigInfo.ButtonCount),
        CASE(P, "FireKeyCount", 872 + 87524, 4, r.ConfigInfo.FireKeyCount),
        CASE(P, "MacroKeyInfoList[0].MacroListCount", 90000 + 768, 4, r.MacroKeyInfoList.MacroInfos[0].MacroListCount),
        CASE(P, "MacroKeyInfoList[29].ErrorCount", 90000 + 29 * 896 + 892, 4, r.MacroKeyInfoList.MacroInfos[29].ErrorCount),
        CASE(P, "nMacroInfoCount", 90000 + 26880, 2, r.MacroKeyInfoList.nMacroInfoCount),
        CASE(P, "MacroInfoToDevice.nMacroInfoCount", 116884 + 4480, 2, r.MacroInfoToDevice.nMacroInfoCount),
        CASE(P, "OtherConfig[35]", 121403, 1, r.OtherConfig[35]),
    });
}

TEST(Records, MacroFieldsSitAtTheirOffsets)
{
    using M = TMACROKEYINFO;
    CheckGoldenOffsets<M>({
        CASE(M, "MacroList[127].VALUE2", 127 * 6 + 5, 1, r.MacroList[127].VALUE2),
        CASE(M, "MacroList[1].nKeyState", 6 + 2, 2, r.MacroList[1].nKeyState),
        CASE(M, "nAutoAddDelay", 772, 2, r.nAutoAddDelay),
        CASE(M, "nLoopRunWhenPressed", 774, 1, r.nLoopRunWhenPressed),
        CASE(M, "nLoopCount", 776, 2, r.nLoopCount),
        CASE(M, "MacroUse", 780, 1, r.MacroUse),
        CASE(M, "szMacroName[50]", 782 + 100, 2, r.szMacroName[50]),
        CASE(M, "Version", 884, 4, r.Version),
        CASE(M, "HaveErrors", 888, 4, r.HaveErrors),
    });
}

TEST(Records, SettingStoreFieldsSitAtTheirAbsoluteOffsets)
{
    using G = TProfileSettingGroup;
    CheckGoldenOffsets<G>({
        CASE(G, "CurrentProfileGroup", 0, 4, r.CurrentProfileGroup),
        CASE(G, "ProfileIndexOfProfileGroup[1]", 8, 4, r.ProfileIndexOfProfileGroup[1]),
        CASE(G, "entry0.FilePath[0]", 12 + 2, 2, r.ProfileSettingList[0].FilePath[0]),
        CASE(G, "entry2.RegPath[0]", 12 + 2 * 6190 + 2050, 2, r.ProfileSettingList[2].RegPath[0]),
        CASE(G, "entry3.FileName[20]", 12 + 3 * 6190 + 4098 + 40, 2, r.ProfileSettingList[3].FileName[20]),
        CASE(G, "entry4.MacroPath[0]", 12 + 4 * 6190 + 4140, 2, r.ProfileSettingList[4].MacroPath[0]),
        CASE(G, "entry4.StoreInFile", 12 + 4 * 6190 + 6188, 1, r.ProfileSettingList[4].StoreInFile),
    });
    using A = TALLGAMESINFO;
    CheckGoldenOffsets<A>({
        CASE(A, "entry0.EntryFlag", 0, 2, r.Allgameset[0].EntryFlag),
        CASE(A, "entry1.EntryFlag", 6190, 2, r.Allgameset[1].EntryFlag),
        CASE(A, "CurrentGame", 30950, 2, r.CurrentGame),
        CASE(A, "CurrentLanguage", 30952, 1, r.CurrentLanguage),
    });
}

#undef CASE

template <class T>
void CheckRandomImageRoundTrips(uint32_t seed)
{
    std::mt19937 gen(seed);
    std::vector<uint8_t> image(sizeof(T));
    for (auto &b : image)
        b = uint8_t(gen());
    auto rec = ZeroRecord<T>();
    EXPECT_EQ(CopyImageToRecord(*rec, image.data(), image.size()), sizeof(T));
    auto copy = ZeroRecord<T>();
    *copy = *rec;   // a whole-record copy keeps reserved and padding bytes too
    EXPECT_EQ(Bytes(*copy), image);
}

TEST(Records, RandomImagesRoundTripByteForByte)
{
    CheckRandomImageRoundTrips<TMouseProfileInfo>(1);
    CheckRandomImageRoundTrips<TProfileSettingGroup>(2);
    CheckRandomImageRoundTrips<TALLGAMESINFO>(3);
    CheckRandomImageRoundTrips<TMACROKEYINFO>(4);
}

TEST(Records, ShortImageKeepsTheRestOfTheRecord)
{
    auto rec = ZeroRecord<TMouseProfileInfo>();
    rec->ConfigInfo.ButtonCount = 13;
    const std::vector<uint8_t> image(10, 0xAB);
    EXPECT_EQ(CopyImageToRecord(*rec, image.data(), image.size()), 10u);
    EXPECT_EQ(rec->ProfileHeader.FFileVersion, int32_t(0xABABABAB));
    EXPECT_EQ(rec->ProfileHeader.FFileName[0], 0);
    EXPECT_EQ(rec->ConfigInfo.ButtonCount, 13);
}

TEST(Records, FunctionTableRangesAndLookups)
{
    struct Range { int firstRow, lastRow, code, firstMenu; };
    const Range ranges[] = {{7, 14, 15, 801}, {15, 20, 15, 901}, {21, 28, 14, 907}, {29, 35, 14, 1001}};
    for (const Range &r : ranges)
        for (int row = r.firstRow; row <= r.lastRow; ++row) {
            EXPECT_EQ(FUNCTION_TABLE[row].Row, row);
            EXPECT_EQ(FUNCTION_TABLE[row].DeviceFunctionCode, r.code) << row;
            EXPECT_EQ(FUNCTION_TABLE[row].MenuID, r.firstMenu + row - r.firstRow) << row;
        }
    for (int row = 0; row < FUNCTION_TABLE_ROWS; ++row)
        EXPECT_EQ(FUNCTION_TABLE[row].Row, row);
    EXPECT_EQ(FUNCTION_TABLE[36].DeviceFunctionCode, DEVICE_FUNCTION_MEDIA_PLAYER);
    EXPECT_EQ(FUNCTION_TABLE[44].DeviceFunctionCode, DEVICE_FUNCTION_CPI_CYCLE);
    EXPECT_EQ(FUNCTION_TABLE[47].MenuID, 16);

    EXPECT_EQ(FunctionRowByMenuID(914), 28);
    EXPECT_EQ(FunctionRowByMenuID(1302), 41);
    EXPECT_EQ(FunctionRowByMenuID(8), std::nullopt);
    EXPECT_EQ(FunctionTableRow(48), std::nullopt);
    EXPECT_EQ(FunctionTableRow(-1), std::nullopt);
    EXPECT_EQ(FunctionTableRow(43)->DeviceFunctionCode, DEVICE_FUNCTION_PROFILE_SWITCH);
}

TEST(Records, DeviceKeyTableEntries)
{
    using E = std::array<uint8_t, 4>;
    EXPECT_EQ(DEVICE_KEY_TABLE[0], (E{7, 0x01, 0x00, 0x00}));
    EXPECT_EQ(DEVICE_KEY_TABLE[7], (E{7, 0x80, 0x00, 0x00}));
    EXPECT_EQ(DEVICE_KEY_TABLE[8], (E{7, 0x00, 0x01, 0x00}));
    EXPECT_EQ(DEVICE_KEY_TABLE[16], (E{7, 0x00, 0x00, 0x01}));
    EXPECT_EQ(DEVICE_KEY_TABLE[23], (E{7, 0x00, 0x00, 0x80}));
}

TEST(Records, ProfileUIDIsTheLocalDateTimeNumber)
{
    struct Case { QDateTime when; double expected; };
    const Case cases[] = {
        {QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 0.0},
        {QDateTime(QDate(2000, 1, 1), QTime(12, 0)), 36526.5},
        {QDateTime(QDate(1899, 12, 29), QTime(6, 0)), -1.25},
    };
    for (const Case &c : cases) {
        hkt::platform::SetFixedLocalTime(c.when);
        TProfileUIDData uid{};
        GetProfileUID(uid);
        EXPECT_DOUBLE_EQ(ProfileUIDDataTime(uid), c.expected) << c.when.toString().toStdString();
    }
    hkt::platform::SetFixedLocalTime(std::nullopt);
}

TEST(Records, CheckedAccessorsRefuseOutOfRangeStoredValues)
{
    auto p = ZeroRecord<TMouseProfileInfo>();
    TMOUSECONFIGINFO &c = p->ConfigInfo;
    struct IntCase { int32_t stored; int expected; };
    for (const IntCase ic : {IntCase{13, 13}, {14, 14}, {15, 14}, {-1, 0}, {INT32_MIN, 0}}) {
        c.ButtonCount = ic.stored;
        EXPECT_EQ(CheckedButtonCount(c), ic.expected) << ic.stored;
    }
    for (const IntCase ic : {IntCase{0, 0}, {4, 4}, {5, -1}, {-1, -1}, {10, -1}}) {
        c.CurrentCPIIndex = ic.stored;
        EXPECT_EQ(CheckedCurrentCPIIndex(c).value_or(-1), ic.expected) << ic.stored;
    }
    c.CPILevel = 11;
    EXPECT_EQ(CheckedCPILevel(c), CPI_LEVELS_IN_USE);
    c.CPILevel = 3;
    EXPECT_EQ(CheckedCPILevel(c), 3);

    TBUTTONFUNCINFO &b = c.ButtonFuncInfo[0];
    b.FunctionIndex = 47;
    EXPECT_EQ(CheckedFunctionIndex(b), 47);
    b.FunctionIndex = 48;
    EXPECT_EQ(CheckedFunctionIndex(b), std::nullopt);
    EXPECT_EQ(ShownMenuID(b), std::nullopt);
    b.FunctionIndex = 28;
    EXPECT_EQ(ShownMenuID(b), 914);
    b.MenuID = 1001;
    EXPECT_EQ(ShownMenuID(b), 1001);
    b.ButtonIndex = 14;
    EXPECT_EQ(CheckedButtonIndex(b), std::nullopt);

    TMACROKEYINFO &m = p->MacroKeyInfoList.MacroInfos[0];
    m.MacroListCount = 129;
    EXPECT_EQ(CheckedMacroListCount(m), 128);
    m.MacroListCount = -5;
    EXPECT_EQ(CheckedMacroListCount(m), 0);
    m.nMacroIndex = 29;
    EXPECT_EQ(CheckedMacroIndex(m), 29);
    m.nMacroIndex = 30;
    EXPECT_EQ(CheckedMacroIndex(m), std::nullopt);
    p->MacroKeyInfoList.nMacroInfoCount = 0xFFFF;
    EXPECT_EQ(CheckedMacroInfoCount(p->MacroKeyInfoList), 30);
}

TEST(Records, CheckedSettingStoreAccessors)
{
    auto all = ZeroRecord<TALLGAMESINFO>();
    all->CurrentGame = 4;
    EXPECT_EQ(CheckedCurrentGame(*all), 4);
    all->CurrentGame = 5;
    EXPECT_EQ(CheckedCurrentGame(*all), std::nullopt);

    auto g = ZeroRecord<TProfileSettingGroup>();
    g->CurrentProfileGroup = 1;
    g->ProfileIndexOfProfileGroup[1] = 3;
    EXPECT_EQ(CheckedGroupProfileIndex(*g), 3);
    g->ProfileIndexOfProfileGroup[1] = 5;
    EXPECT_EQ(CheckedGroupProfileIndex(*g), std::nullopt);
    g->CurrentProfileGroup = 2;
    EXPECT_EQ(CheckedGroupProfileIndex(*g), std::nullopt);
    g->CurrentProfileGroup = -1;
    EXPECT_EQ(CheckedCurrentProfileGroup(*g), std::nullopt);

    TProfileSettingItem &item = g->ProfileSettingList[0];
    item.StoreInFile = 1;
    EXPECT_EQ(CheckedStoreInFile(item), true);
    item.StoreInFile = 0;
    EXPECT_EQ(CheckedStoreInFile(item), false);
    item.StoreInFile = 2;
    EXPECT_EQ(CheckedStoreInFile(item), std::nullopt);
}

TEST(Records, SafeFileNames)
{
    struct Case { const char *name; bool safe; };
    const Case cases[] = {
        {"Profile1.pfd", true}, {"", false}, {".", false}, {"..", false}, {"a/b", false},
        {"a\\b", false}, {"..pfd", false}, {"x..y", false}, {".hidden", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsSafeFileName(QString::fromUtf8(c.name)), c.safe) << c.name;
    EXPECT_FALSE(IsSafeFileName(QString(QChar(0)) + QStringLiteral("a")));
}

TEST(Records, TextFieldsAreBoundedAndNeverSplitASurrogatePair)
{
    char16_t field[5];
    std::fill(std::begin(field), std::end(field), char16_t(0x7777));
    EXPECT_TRUE(SetFieldText(field, QStringLiteral("ab")));
    EXPECT_EQ(field[2], 0);
    EXPECT_EQ(field[4], 0);   // tail zeroed
    EXPECT_EQ(FieldText(field), QStringLiteral("ab"));

    // "abc" + U+1F600 (a surrogate pair at units 3 and 4): only 4 units fit,
    // so the pair is dropped whole.
    const QString withPair = QStringLiteral("abc") + QString::fromUcs4(U"\U0001F600");
    EXPECT_FALSE(SetFieldText(field, withPair));
    EXPECT_EQ(FieldText(field), QStringLiteral("abc"));
    EXPECT_EQ(field[3], 0);

    const QString pairFirst = QStringLiteral("ab") + QString::fromUcs4(U"\U0001F600");
    EXPECT_TRUE(SetFieldText(field, pairFirst));
    EXPECT_EQ(FieldText(field), pairFirst);

    // A stored field without any NUL reads within its bounds.
    std::fill(std::begin(field), std::end(field), u'x');
    EXPECT_EQ(FieldText(field), QStringLiteral("xxxxx"));

    TMACROKEYINFO macro{};
    std::fill(std::begin(macro.szMacroName), std::end(macro.szMacroName), u'm');
    EXPECT_EQ(MacroNameText(macro).size(), MACRO_NAME_MAX_CHARS);

    EXPECT_TRUE(FitsField(5, QStringLiteral("abcd")));
    EXPECT_FALSE(FitsField(5, QStringLiteral("abcde")));
}

} // namespace
