#include "core/FactoryDefaults.h"

#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {

const QDateTime kPinned(QDate(2024, 3, 1), QTime(18, 0));

class FactoryDefaults : public ::testing::Test {
protected:
    void SetUp() override { hkt::platform::SetFixedLocalTime(kPinned); }
    void TearDown() override { hkt::platform::SetFixedLocalTime(std::nullopt); }

    static std::unique_ptr<TMouseProfileInfo> Fresh(int profile)
    {
        auto p = std::make_unique<TMouseProfileInfo>();
        std::memset(static_cast<void *>(p.get()), 0, sizeof *p);
        EXPECT_TRUE(RestoreProfileDefaults(*p, profile));
        return p;
    }
};

enum Kind { Plain, Usage, Single, Combo, Fire };

struct ExpectedButton {
    int button;
    uint8_t type;
    int row;
    int code;
    int menu;
    Kind kind;
    int a;             // usage, or key, or combo modifier
    int b;             // extended flag, or combo key
    const char *text;
};

// Buttons 3..12 of each factory profile, written out independently of the
// code's tables.
const ExpectedButton kProfile1[] = {
    {3, 10, 35, 14, 1007, Usage, 0xE2, 0, ""},   {4, 10, 33, 14, 1005, Usage, 0xE9, 0, ""},
    {5, 10, 34, 14, 1006, Usage, 0xEA, 0, ""},   {6, 8, 5, 16, 6, Single, 39, 1, "FAST FORWARD"},
    {7, 8, 5, 16, 6, Single, 37, 1, "REWIND"},   {8, 10, 32, 14, 1004, Usage, 0xB5, 0, ""},
    {9, 10, 31, 14, 1003, Usage, 0xB6, 0, ""},   {10, 10, 29, 14, 1001, Usage, 0xCD, 0, ""},
    {11, 3, 16, 15, 902, Combo, 1, 0x73, ""},    {12, 3, 19, 15, 905, Combo, 8, 0x44, ""},
};
const ExpectedButton kProfile2[] = {
    {3, 3, 6, 15, 7, Combo, 2, 0x57, "CLOSE TAB"},   {4, 3, 6, 15, 7, Combo, 2, 0x6B, "ZOOM IN"},
    {5, 3, 6, 15, 7, Combo, 2, 0x6D, "ZOOM OUT"},    {6, 3, 6, 15, 7, Combo, 6, 0x09, "PREVIOUS TAB"},
    {7, 3, 6, 15, 7, Combo, 2, 0x09, "NEXT TAB"},    {8, 10, 23, 14, 909, Usage, 0x225, 0, ""},
    {9, 10, 22, 14, 908, Usage, 0x224, 0, ""},       {10, 10, 25, 14, 911, Usage, 0x227, 0, ""},
    {11, 3, 16, 15, 902, Combo, 1, 0x73, ""},        {12, 3, 19, 15, 905, Combo, 8, 0x44, ""},
};
const ExpectedButton kProfile3[] = {
    {3, 13, 38, 25, 12, Fire, 0, 0, ""},          {4, 1, 45, 23, 1501, Plain, 0, 0, ""},
    {5, 1, 46, 24, 1502, Plain, 0, 0, ""},        {6, 1, 41, 10, 1302, Plain, 0, 0, ""},
    {7, 1, 42, 9, 1303, Plain, 0, 0, ""},         {8, 8, 5, 16, 6, Single, 164, 0, ""},
    {9, 8, 5, 16, 6, Single, 162, 0, ""},         {10, 8, 5, 16, 6, Single, 160, 0, ""},
    {11, 1, 3, 5, 4, Plain, 0, 0, ""},            {12, 1, 4, 4, 5, Plain, 0, 0, ""},
};

void CheckButton(const TBUTTONFUNCINFO &b, const ExpectedButton &e)
{
    SCOPED_TRACE(testing::Message() << "button " << e.button);
    EXPECT_EQ(b.ButtonIndex, e.button);
    EXPECT_EQ(b.FunctionType, e.type);
    EXPECT_EQ(b.FunctionIndex, e.row);
    EXPECT_EQ(b.DeviceFunctionCode, e.code);
    EXPECT_EQ(b.MenuID, e.menu);
    // The parameter area holds exactly the listed parameters, nothing else.
    auto expected = std::make_unique<TBUTTONFUNCINFO>();
    std::memset(static_cast<void *>(expected.get()), 0, sizeof *expected);
    switch (e.kind) {
    case Plain:
        break;
    case Usage:
        expected->HIDCode = {uint16_t(e.a & 0xFF), uint16_t(e.a >> 8), 0};
        break;
    case Single:
        expected->SingleKey.nKeyValue1 = uint16_t(e.a);
        expected->SingleKey.nKey1Extended = uint16_t(e.b);
        SetFieldText(expected->SingleKey.SingleKeyText, QString::fromLatin1(e.text));
        break;
    case Combo:
        expected->ComboKey.nModifier = uint16_t(e.a);
        expected->ComboKey.nKeyValue1 = uint16_t(e.b);
        SetFieldText(expected->ComboKey.ComboKeyText, QString::fromLatin1(e.text));
        break;
    case Fire:
        expected->FireKey.nLoopCount = 3;
        expected->FireKey.DelyValue = 1;
        expected->FireKey.KeyCode = 129;
        break;
    }
    EXPECT_EQ(std::memcmp(&b, expected.get(), BUTTON_PARAMETER_BYTES), 0) << "parameter bytes";
}

TEST_F(FactoryDefaults, ButtonsOfEveryProfile)
{
    const ExpectedButton *tables[PROFILE_COUNT] = {kProfile1, kProfile2, kProfile3, kProfile3, kProfile3};
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        SCOPED_TRACE(testing::Message() << "profile " << p + 1);
        const auto info = Fresh(p);
        const TMOUSECONFIGINFO &c = info->ConfigInfo;
        for (int i = 0; i < 3; ++i)
            CheckButton(c.ButtonFuncInfo[i], {i, 1, i, i + 1, i + 1, Plain, 0, 0, ""});
        for (int k = 0; k < 10; ++k)
            CheckButton(c.ButtonFuncInfo[3 + k], tables[p][k]);
        const TBUTTONFUNCINFO &last = c.ButtonFuncInfo[13];
        EXPECT_EQ(last.ButtonIndex, 13);
        EXPECT_EQ(last.FunctionType, 1);
        EXPECT_EQ(last.DeviceFunctionCode, 13);
        EXPECT_EQ(last.FunctionIndex, 0);
        EXPECT_EQ(last.MenuID, 0);

        // Each button's row, device code and menu item agree.
        for (int i = 0; i < 13; ++i) {
            const TBUTTONFUNCINFO &b = c.ButtonFuncInfo[i];
            const auto row = FunctionTableRow(b.FunctionIndex);
            ASSERT_TRUE(row) << i;
            EXPECT_EQ(row->DeviceFunctionCode, b.DeviceFunctionCode) << i;
            EXPECT_EQ(row->MenuID, b.MenuID) << i;
            EXPECT_EQ(FunctionRowByMenuID(b.MenuID), b.FunctionIndex) << i;
        }
    }
}

TEST_F(FactoryDefaults, ProfileSettings)
{
    struct Look { uint8_t r, g, b; int cpi; };
    const Look looks[] = {{255, 255, 0, 0}, {0, 255, 0, 1}, {0, 0, 255, 2}, {255, 0, 255, 3}, {255, 0, 0, 4}};
    const uint16_t levels[] = {1000, 2000, 4000, 8200, 16400};
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        SCOPED_TRACE(testing::Message() << "profile " << p + 1);
        const auto info = Fresh(p);
        const TMOUSECONFIGINFO &c = info->ConfigInfo;
        EXPECT_EQ(info->ProfileHeader.FFileVersion, 259);
        EXPECT_DOUBLE_EQ(ProfileUIDDataTime(info->ProfileHeader.FProfileUID), DateTimeNumber(kPinned));
        EXPECT_EQ(c.ButtonCount, 13);
        EXPECT_EQ(c.VWheelSpeed, 3);
        EXPECT_EQ(c.DoubleClickSpeed, 550);
        EXPECT_EQ(c.PointerSpeed, 10);
        EXPECT_EQ(c.PointerAcceleration, 0);
        EXPECT_EQ(c.ReportRate, 500);
        EXPECT_EQ(c.CPILevel, 5);
        EXPECT_EQ(c.CurrentCPIIndex, looks[p].cpi);
        EXPECT_EQ(c.LEDConfig.R, looks[p].r);
        EXPECT_EQ(c.LEDConfig.G, looks[p].g);
        EXPECT_EQ(c.LEDConfig.B, looks[p].b);
        EXPECT_EQ(c.LEDConfig.BRIGHT_LEVEL, 2);
        EXPECT_EQ(c.LEDConfig.BREATH_SPEED, 3);
        EXPECT_EQ(c.LEDConfig.BREATH_SECOND, 0);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(c.CPIState[i].X, levels[i]);
            EXPECT_EQ(c.CPIState[i].Y, levels[i]);
            EXPECT_EQ(c.CPIState[i].Enabled, 1);
            EXPECT_EQ(c.UseDiffentXY[i], 1);
        }
        EXPECT_EQ(c.CPIState[5].X, 0);
    }
    EXPECT_FALSE(RestoreProfileDefaults(*Fresh(0), 5));
    EXPECT_FALSE(RestoreProfileDefaults(*Fresh(0), -1));
}

TEST_F(FactoryDefaults, ProfilesFourAndFiveDifferFromThreeOnlyInColourAndLevel)
{
    const auto three = Fresh(2);
    for (int p : {3, 4}) {
        auto other = Fresh(p);
        other->ConfigInfo.LEDConfig.R = three->ConfigInfo.LEDConfig.R;
        other->ConfigInfo.LEDConfig.G = three->ConfigInfo.LEDConfig.G;
        other->ConfigInfo.LEDConfig.B = three->ConfigInfo.LEDConfig.B;
        other->ConfigInfo.CurrentCPIIndex = three->ConfigInfo.CurrentCPIIndex;
        EXPECT_EQ(std::memcmp(other.get(), three.get(), sizeof *other), 0) << p;
    }
}

TEST_F(FactoryDefaults, RestoreKeepsWhatHasNoFactoryValue)
{
    auto info = std::make_unique<TMouseProfileInfo>();
    std::mt19937 gen(7);
    auto *raw = reinterpret_cast<uint8_t *>(info.get());
    for (std::size_t i = 0; i < sizeof *info; ++i)
        raw[i] = uint8_t(gen());
    const auto before = std::make_unique<TMouseProfileInfo>(*info);
    ASSERT_TRUE(RestoreProfileDefaults(*info, 0));
    EXPECT_EQ(std::memcmp(&info->MacroKeyInfoList, &before->MacroKeyInfoList, sizeof info->MacroKeyInfoList), 0);
    EXPECT_EQ(info->ConfigInfo.Sensorlift.SensorLift, before->ConfigInfo.Sensorlift.SensorLift);
    EXPECT_EQ(info->ConfigInfo.LEDConfig.BREATH_SECOND, before->ConfigInfo.LEDConfig.BREATH_SECOND);
    EXPECT_EQ(info->ConfigInfo.ButtonFuncInfo[13].FunctionIndex, before->ConfigInfo.ButtonFuncInfo[13].FunctionIndex);
    EXPECT_EQ(info->ConfigInfo.ButtonFuncInfo[13].MenuID, before->ConfigInfo.ButtonFuncInfo[13].MenuID);
    EXPECT_EQ(info->ConfigInfo.CPIState[7].X, before->ConfigInfo.CPIState[7].X);
    EXPECT_EQ(std::memcmp(info->ConfigInfo.CPIState[0].Reserved6, before->ConfigInfo.CPIState[0].Reserved6, 4), 0);
    EXPECT_EQ(std::memcmp(info->OtherConfig, before->OtherConfig, sizeof info->OtherConfig), 0);
    // The parameter area of every button is cleared, even of button 13.
    EXPECT_EQ(info->ConfigInfo.ButtonFuncInfo[13].MacroKeyInfo.MacroListCount, 0);
    EXPECT_EQ(info->ConfigInfo.ButtonFuncInfo[3].MacroName[0], 0);
}

TEST_F(FactoryDefaults, ImagesOfAnySize)
{
    QByteArray shortImage(10, '\x5A');
    ASSERT_TRUE(RestoreProfileImageDefaults(shortImage, 1));
    ASSERT_EQ(shortImage.size(), qsizetype(PROFILE_RECORD_SIZE));
    EXPECT_EQ(shortImage.mid(4, 6), QByteArray(6, '\x5A'));   // layout-only bytes kept
    EXPECT_EQ(shortImage.at(int(PROFILE_RECORD_SIZE) - 1), 0);
    auto fromShort = std::make_unique<TMouseProfileInfo>();
    CopyImageToRecord(*fromShort, shortImage.constData(), size_t(shortImage.size()));
    EXPECT_EQ(fromShort->ConfigInfo.ButtonCount, 13);
    EXPECT_EQ(fromShort->ConfigInfo.LEDConfig.G, 255);

    QByteArray longImage(int(PROFILE_RECORD_SIZE) + 3, '\x11');
    ASSERT_TRUE(RestoreProfileImageDefaults(longImage, 0));
    EXPECT_EQ(longImage.size(), qsizetype(PROFILE_RECORD_SIZE) + 3);
    EXPECT_EQ(longImage.right(3), QByteArray(3, '\x11'));

    QByteArray untouched;
    EXPECT_FALSE(RestoreProfileImageDefaults(untouched, 7));
    EXPECT_TRUE(untouched.isEmpty());
}

TEST_F(FactoryDefaults, TestProfile)
{
    QByteArray empty;
    RestoreTestProfileImageDefaults(empty);
    EXPECT_TRUE(empty.isEmpty());

    QByteArray image(int(PROFILE_RECORD_SIZE), '\xAA');
    RestoreTestProfileImageDefaults(image);
    auto info = std::make_unique<TMouseProfileInfo>();
    CopyImageToRecord(*info, image.constData(), size_t(image.size()));
    TMOUSECONFIGINFO &c = info->ConfigInfo;
    EXPECT_EQ(c.ButtonCount, 15);
    const int codes[] = {1, 2, 3, 5, 4};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(c.ButtonFuncInfo[i].DeviceFunctionCode, codes[i]);
        EXPECT_EQ(c.ButtonFuncInfo[i].MenuID, i + 1);
    }
    for (int k = 5; k < 14; ++k) {
        const TBUTTONFUNCINFO &b = c.ButtonFuncInfo[k];
        EXPECT_EQ(b.FunctionType, 11);
        EXPECT_EQ(b.FunctionIndex, 14);
        EXPECT_EQ(b.DeviceFunctionCode, 19);
        const uint32_t mask = uint32_t(b.DeviceParamBytes[0]) | uint32_t(b.DeviceParamBytes[1]) << 8 |
                              uint32_t(b.DeviceParamBytes[2]) << 16;
        EXPECT_EQ(mask, 1u << k) << k;
    }
    EXPECT_EQ(c.ReportRate, 125);
    EXPECT_EQ(c.LEDConfig.BREATH_SPEED, 2);
    EXPECT_EQ(c.LEDConfig.R, 255);

    // Clear every listed field again: what remains must be all zero.
    info->ProfileHeader.FFileVersion = 0;
    std::memset(&info->ProfileHeader.FProfileUID, 0, 8);
    c.ButtonCount = 0;
    for (TBUTTONFUNCINFO &b : c.ButtonFuncInfo) {
        b.ButtonIndex = b.FunctionIndex = 0;
        b.FunctionType = 0;
        b.DeviceFunctionCode = b.MenuID = 0;
        std::memset(b.DeviceParamBytes, 0, 3);
    }
    c.VWheelSpeed = c.DoubleClickSpeed = c.PointerSpeed = c.ReportRate = c.CPILevel = 0;
    c.LEDConfig = TLEDCONFIG{};
    for (int i = 0; i < 5; ++i) {
        c.CPIState[i].X = c.CPIState[i].Y = c.CPIState[i].Enabled = 0;
        c.UseDiffentXY[i] = 0;
    }
    const auto *raw = RecordBytes(*info);
    EXPECT_EQ(std::count(raw, raw + sizeof *info, 0), std::ptrdiff_t(sizeof *info));
}

TEST_F(FactoryDefaults, AllSettings)
{
    QByteArray image(int(sizeof(TALLGAMESINFO)), '\x33');
    RestoreAllGamesImageDefaults(image);
    TALLGAMESINFO all;
    CopyImageToRecord(all, image.constData(), size_t(image.size()));
    EXPECT_EQ(all.CurrentGame, 2);
    EXPECT_EQ(all.CurrentLanguage, 0);
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        EXPECT_EQ(all.Allgameset[p].EntryFlag, p == 0 ? 1 : 0);
        EXPECT_EQ(all.Allgameset[p].StoreInFile, 0);
        EXPECT_EQ(FieldText(all.Allgameset[p].FilePath), QString());
        EXPECT_EQ(all.Allgameset[p].FileName[0], 0x3333);   // not written
    }
}

TEST_F(FactoryDefaults, ProfileGroup)
{
    TOptionsFromConfigFile options;
    LoadOptionsFromConfigFile(options, QStringLiteral("/nonexistent/config.ini"));
    const QString folder = QStringLiteral("/tmp/h/Documents/Profile/");
    QByteArray image;
    RestoreProfileGroupImageDefaults(image, options, folder);
    ASSERT_EQ(image.size(), qsizetype(sizeof(TProfileSettingGroup)));
    auto g = std::make_unique<TProfileSettingGroup>();
    CopyImageToRecord(*g, image.constData(), size_t(image.size()));
    EXPECT_EQ(g->CurrentProfileGroup, 0);
    EXPECT_EQ(g->ProfileIndexOfProfileGroup[0], 0);
    EXPECT_EQ(g->ProfileIndexOfProfileGroup[1], 1);
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        const TProfileSettingItem &e = g->ProfileSettingList[p];
        const QString n = QString::number(p + 1);
        EXPECT_EQ(FieldText(e.FileName), QStringLiteral("Profile") + n + QStringLiteral(".pfd"));
        EXPECT_EQ(FieldText(e.FilePath), folder);
        EXPECT_EQ(FieldText(e.MacroPath), folder + QStringLiteral("/Profile") + n + QStringLiteral("_Macros"));
        EXPECT_EQ(FieldText(e.RegPath), QStringLiteral("software\\HKT75GM"));
        EXPECT_EQ(e.StoreInFile, 0);
        EXPECT_EQ(e.EntryFlag, 0);
    }
    EXPECT_EQ(CheckedGroupProfileIndex(*g), 0);

    // A prefix that would not fit the file name, and a folder that would not
    // fit its field, are refused rather than cut.
    options.ProfileNamePrefix = QStringLiteral("ThisPrefixIsMuchTooLong");
    const QString longFolder = QStringLiteral("/") + QString(1100, u'd') + QStringLiteral("/");
    RestoreProfileGroupDefaults(*g, options, longFolder);
    EXPECT_EQ(FieldText(g->ProfileSettingList[4].FileName), QStringLiteral("Profile5.pfd"));
    EXPECT_EQ(FieldText(g->ProfileSettingList[4].FilePath), QString());
    EXPECT_EQ(FieldText(g->ProfileSettingList[4].MacroPath), QString());
    EXPECT_EQ(FieldText(g->ProfileSettingList[4].RegPath), QStringLiteral("software\\HKT75GM"));
}

} // namespace
