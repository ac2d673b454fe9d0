#include "core/FactoryDefaults.h"

#include "core/pubunit_device_presets.h"

#include <cstring>
#include <memory>

namespace {

enum class Param { None, Media, Browser, SingleKey, AdvancedCombo, TabCombo, FireKey };

// One factory button: what FUNCTION_TABLE row, code and menu item it gets,
// and where its parameters come from.
struct DefaultButton {
    uint8_t functionType;
    uint16_t functionIndex;
    int32_t deviceFunctionCode;
    int32_t menuId;
    Param param;
    int entry;              // preset table entry, or the virtual key of a single key
    uint16_t extended;      // single key
    const char16_t *text;   // single key or tab combination text, or nullptr
};

constexpr int kFirstTableButton = 3;
constexpr int kTableButtons = 10;   // buttons 3..12

using ButtonTable = DefaultButton[kTableButtons];

constexpr ButtonTable kProfile1Buttons = {
    {FUNCTION_TYPE_HID_CODE, 35, 14, 1007, Param::Media, 6, 0, nullptr},          // MUTE
    {FUNCTION_TYPE_HID_CODE, 33, 14, 1005, Param::Media, 4, 0, nullptr},          // VOLUME UP
    {FUNCTION_TYPE_HID_CODE, 34, 14, 1006, Param::Media, 5, 0, nullptr},          // VOLUME DOWN
    {FUNCTION_TYPE_SINGLE_KEY, 5, 16, 6, Param::SingleKey, 39, 1, u"FAST FORWARD"},
    {FUNCTION_TYPE_SINGLE_KEY, 5, 16, 6, Param::SingleKey, 37, 1, u"REWIND"},
    {FUNCTION_TYPE_HID_CODE, 32, 14, 1004, Param::Media, 3, 0, nullptr},          // NEXT TRACK
    {FUNCTION_TYPE_HID_CODE, 31, 14, 1003, Param::Media, 2, 0, nullptr},          // PREVIOUS TRACK
    {FUNCTION_TYPE_HID_CODE, 29, 14, 1001, Param::Media, 0, 0, nullptr},          // PLAY/PAUSE
    {FUNCTION_TYPE_COMBO_KEY, 16, 15, 902, Param::AdvancedCombo, 1, 0, nullptr},  // CLOSE WINDOW
    {FUNCTION_TYPE_COMBO_KEY, 19, 15, 905, Param::AdvancedCombo, 4, 0, nullptr},  // SHOW DESKTOP
};

constexpr ButtonTable kProfile2Buttons = {
    {FUNCTION_TYPE_COMBO_KEY, 6, 15, 7, Param::TabCombo, 0, 0, u"CLOSE TAB"},
    {FUNCTION_TYPE_COMBO_KEY, 6, 15, 7, Param::TabCombo, 1, 0, u"ZOOM IN"},
    {FUNCTION_TYPE_COMBO_KEY, 6, 15, 7, Param::TabCombo, 2, 0, u"ZOOM OUT"},
    {FUNCTION_TYPE_COMBO_KEY, 6, 15, 7, Param::TabCombo, 3, 0, u"PREVIOUS TAB"},
    {FUNCTION_TYPE_COMBO_KEY, 6, 15, 7, Param::TabCombo, 4, 0, u"NEXT TAB"},
    {FUNCTION_TYPE_HID_CODE, 23, 14, 909, Param::Browser, 2, 0, nullptr},         // BROWSER FORWARD
    {FUNCTION_TYPE_HID_CODE, 22, 14, 908, Param::Browser, 1, 0, nullptr},         // BROWSER BACKWARD
    {FUNCTION_TYPE_HID_CODE, 25, 14, 911, Param::Browser, 4, 0, nullptr},         // BROWSER REFRESH
    {FUNCTION_TYPE_COMBO_KEY, 16, 15, 902, Param::AdvancedCombo, 1, 0, nullptr},  // CLOSE WINDOW
    {FUNCTION_TYPE_COMBO_KEY, 19, 15, 905, Param::AdvancedCombo, 4, 0, nullptr},  // SHOW DESKTOP
};

constexpr ButtonTable kProfile3Buttons = {
    {FUNCTION_TYPE_FIRE_KEY, 38, 25, 12, Param::FireKey, 0, 0, nullptr},
    {FUNCTION_TYPE_DEVICE, 45, 23, 1501, Param::None, 0, 0, nullptr},             // REPORT RATE +
    {FUNCTION_TYPE_DEVICE, 46, 24, 1502, Param::None, 0, 0, nullptr},             // REPORT RATE -
    {FUNCTION_TYPE_DEVICE, 41, 10, 1302, Param::None, 0, 0, nullptr},             // DPI +
    {FUNCTION_TYPE_DEVICE, 42, 9, 1303, Param::None, 0, 0, nullptr},              // DPI -
    {FUNCTION_TYPE_SINGLE_KEY, 5, 16, 6, Param::SingleKey, 164, 0, nullptr},      // left Alt
    {FUNCTION_TYPE_SINGLE_KEY, 5, 16, 6, Param::SingleKey, 162, 0, nullptr},      // left Ctrl
    {FUNCTION_TYPE_SINGLE_KEY, 5, 16, 6, Param::SingleKey, 160, 0, nullptr},      // left Shift
    {FUNCTION_TYPE_DEVICE, 3, 5, 4, Param::None, 0, 0, nullptr},                  // FORWARD
    {FUNCTION_TYPE_DEVICE, 4, 4, 5, Param::None, 0, 0, nullptr},                  // BACKWARD
};

struct ProfileLook {
    uint8_t r, g, b;
    int32_t currentCPIIndex;
};
constexpr ProfileLook kLooks[PROFILE_COUNT] = {
    {255, 255, 0, 0}, {0, 255, 0, 1}, {0, 0, 255, 2}, {255, 0, 255, 3}, {255, 0, 0, 4},
};

void SetHIDUsage(THID_CODE_INFO &code, uint16_t usage)
{
    code.nKeyValue1 = usage & 0xFF;
    code.nKeyValue2 = usage >> 8;
    code.nModifier = 0;
}

void ApplyButton(TBUTTONFUNCINFO &b, int index, const DefaultButton &d)
{
    b.ButtonIndex = uint16_t(index);
    b.FunctionType = d.functionType;
    b.FunctionIndex = d.functionIndex;
    b.DeviceFunctionCode = d.deviceFunctionCode;
    b.MenuID = d.menuId;
    THID_CODE_INFO hid{};
    switch (d.param) {
    case Param::None:
        break;
    case Param::Media:
        GetMediaKeyCode(d.entry, hid);
        SetHIDUsage(b.HIDCode, hid.nKeyValue1);
        break;
    case Param::Browser:
        GetBrowserKeyCode(d.entry, hid);
        SetHIDUsage(b.HIDCode, hid.nKeyValue1);
        break;
    case Param::SingleKey:
        b.SingleKey.nKeyValue1 = uint16_t(d.entry);
        b.SingleKey.nKey1Extended = d.extended;
        SetFieldText(b.SingleKey.SingleKeyText, d.text ? QString::fromUtf16(d.text) : QString());
        break;
    case Param::AdvancedCombo:
        GetAdvancedComboKey(d.entry, b.ComboKey);
        break;
    case Param::TabCombo:
        GetTabComboKey(d.entry, b.ComboKey);
        SetFieldText(b.ComboKey.ComboKeyText, QString::fromUtf16(d.text));
        break;
    case Param::FireKey:
        b.FireKey.nLoopCount = 3;
        b.FireKey.DelyValue = 1;
        b.FireKey.KeyCode = FIRE_KEY_LEFT_BUTTON;
        break;
    }
}

// A plain device function taken straight from its FUNCTION_TABLE row.
void ApplyTableRow(TBUTTONFUNCINFO &b, int index)
{
    b.ButtonIndex = uint16_t(index);
    b.FunctionType = FUNCTION_TYPE_DEVICE;
    b.FunctionIndex = uint16_t(index);
    b.DeviceFunctionCode = FUNCTION_TABLE[std::size_t(index)].DeviceFunctionCode;
    b.MenuID = index + 1;
}

void ApplyCPILevels(TMOUSECONFIGINFO &c)
{
    for (int i = 0; i < CPI_LEVELS_IN_USE; ++i) {
        c.CPIState[i].X = DEFAULT_CPI_LEVELS[i];
        c.CPIState[i].Y = DEFAULT_CPI_LEVELS[i];
        c.CPIState[i].Enabled = 1;
        c.UseDiffentXY[i] = 1;
    }
}

void ApplyWindowsMouseSettings(TMOUSECONFIGINFO &c)
{
    c.VWheelSpeed = 3;
    c.DoubleClickSpeed = 550;
    c.PointerSpeed = 10;
    c.PointerAcceleration = 0;
}

void ApplyCommonProfile(TMouseProfileInfo &info, const ButtonTable &buttons)
{
    GetProfileUID(info.ProfileHeader.FProfileUID);
    info.ProfileHeader.FFileVersion = PROFILE_FILE_VERSION;
    TMOUSECONFIGINFO &c = info.ConfigInfo;
    c.ButtonCount = 13;
    for (TBUTTONFUNCINFO &b : c.ButtonFuncInfo)
        std::memset(static_cast<void *>(&b), 0, BUTTON_PARAMETER_BYTES);
    for (int i = 0; i < kFirstTableButton; ++i)
        ApplyTableRow(c.ButtonFuncInfo[i], i);
    for (int k = 0; k < kTableButtons; ++k)
        ApplyButton(c.ButtonFuncInfo[kFirstTableButton + k], kFirstTableButton + k, buttons[k]);
    // Button 13 is the profile switch; its row and menu id are left as they were.
    TBUTTONFUNCINFO &last = c.ButtonFuncInfo[13];
    last.ButtonIndex = 13;
    last.FunctionType = FUNCTION_TYPE_DEVICE;
    last.DeviceFunctionCode = DEVICE_FUNCTION_PROFILE_SWITCH;
    ApplyWindowsMouseSettings(c);
    c.ReportRate = 500;
    c.CPILevel = CPI_LEVELS_IN_USE;
    c.LEDConfig.BRIGHT_LEVEL = 2;
    c.LEDConfig.BREATH_SPEED = 3;
    ApplyCPILevels(c);
}

void ApplyLook(TMOUSECONFIGINFO &c, const ProfileLook &look)
{
    c.LEDConfig.R = look.r;
    c.LEDConfig.G = look.g;
    c.LEDConfig.B = look.b;
    c.CurrentCPIIndex = look.currentCPIIndex;
}

// Runs f on a heap copy of the image's record (the records are too large for
// secondary threads' stacks), growing a short image with zero bytes first.
template <class T, class F>
void ApplyToImage(QByteArray &image, F f)
{
    if (image.size() < qsizetype(sizeof(T)))
        image.append(QByteArray(qsizetype(sizeof(T)) - image.size(), '\0'));
    auto rec = std::make_unique<T>();
    std::memcpy(static_cast<void *>(rec.get()), image.constData(), sizeof(T));
    f(*rec);
    std::memcpy(image.data(), rec.get(), sizeof(T));
}

// Writes a folder text, or the empty text when it does not fit whole.
void SetFolderField(char16_t (&field)[SETTING_PATH_UNITS], const QString &folder, const char *what)
{
    if (FitsField(SETTING_PATH_UNITS, folder)) {
        SetFieldText(field, folder);
        return;
    }
    qWarning("profile group defaults: %s is longer than %d characters and is not stored", what,
             SETTING_PATH_UNITS - 1);
    SetFieldText(field, QString());
}

} // namespace

bool RestoreProfileDefaults(TMouseProfileInfo &Info, int profileIndex)
{
    if (profileIndex < 0 || profileIndex >= PROFILE_COUNT)
        return false;
    const ButtonTable &buttons = profileIndex == 0 ? kProfile1Buttons
                                 : profileIndex == 1 ? kProfile2Buttons
                                                     : kProfile3Buttons;
    ApplyCommonProfile(Info, buttons);
    ApplyLook(Info.ConfigInfo, kLooks[profileIndex]);
    return true;
}

bool RestoreProfileImageDefaults(QByteArray &image, int profileIndex)
{
    if (profileIndex < 0 || profileIndex >= PROFILE_COUNT)
        return false;
    ApplyToImage<TMouseProfileInfo>(image, [&](TMouseProfileInfo &p) { RestoreProfileDefaults(p, profileIndex); });
    return true;
}

void RestoreTestProfileDefaults(TMouseProfileInfo &Info)
{
    std::memset(static_cast<void *>(&Info), 0, sizeof Info);
    GetProfileUID(Info.ProfileHeader.FProfileUID);
    Info.ProfileHeader.FFileVersion = PROFILE_FILE_VERSION;
    TMOUSECONFIGINFO &c = Info.ConfigInfo;
    c.ButtonCount = 15;
    for (int i = 0; i < 5; ++i)
        ApplyTableRow(c.ButtonFuncInfo[i], i);
    for (int k = 5; k < BUTTON_ENTRY_COUNT; ++k) {
        TBUTTONFUNCINFO &b = c.ButtonFuncInfo[k];
        b.ButtonIndex = uint16_t(k);
        b.FunctionType = FUNCTION_TYPE_DEVICE_PARAMS;
        b.FunctionIndex = 14;
        b.DeviceFunctionCode = DEVICE_FUNCTION_MEDIA_PLAYER;
        for (int j = 0; j < 3; ++j)
            b.DeviceParamBytes[j] = DEVICE_KEY_TABLE[std::size_t(k)][std::size_t(j + 1)];
        b.MenuID = 0;
    }
    ApplyWindowsMouseSettings(c);
    c.ReportRate = 125;
    c.CPILevel = CPI_LEVELS_IN_USE;
    c.CurrentCPIIndex = 0;
    c.LEDConfig.BRIGHT_LEVEL = 2;
    c.LEDConfig.BREATH_SPEED = 2;
    c.LEDConfig.R = 255;
    c.LEDConfig.G = 0;
    c.LEDConfig.B = 0;
    ApplyCPILevels(c);
    Info.MacroKeyInfoList.nMacroInfoCount = 0;
}

void RestoreTestProfileImageDefaults(QByteArray &image)
{
    if (image.isEmpty())
        return;
    ApplyToImage<TMouseProfileInfo>(image, [](TMouseProfileInfo &p) { RestoreTestProfileDefaults(p); });
}

void RestoreAllGamesDefaults(TALLGAMESINFO &All, std::uint8_t language)
{
    for (TProfileSettingItem &item : All.Allgameset) {
        item.EntryFlag = 0;
        item.StoreInFile = 0;
        item.FilePath[0] = 0;
    }
    All.CurrentGame = 2;
    All.Allgameset[0].EntryFlag = 1;
    All.CurrentLanguage = language;
}

void RestoreAllGamesImageDefaults(QByteArray &image, std::uint8_t language)
{
    ApplyToImage<TALLGAMESINFO>(image, [language](TALLGAMESINFO &a) { RestoreAllGamesDefaults(a, language); });
}

void RestoreProfileGroupDefaults(TProfileSettingGroup &Group, const TOptionsFromConfigFile &Options,
                                 const QString &documentsProfileFolder)
{
    QString prefix = Options.ProfileNamePrefix;
    if (!IsSafeFileName(prefix) || prefix.size() > MAX_PROFILE_NAME_PREFIX_LENGTH) {
        qWarning("profile group defaults: profile-name prefix \"%s\" is unusable; using \"%s\"",
                 qUtf8Printable(prefix), DEFAULT_PROFILE_NAME_PREFIX);
        prefix = QString::fromLatin1(DEFAULT_PROFILE_NAME_PREFIX);
    }
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        TProfileSettingItem &item = Group.ProfileSettingList[p];
        const QString n = QString::number(p + 1);
        item.EntryFlag = 0;
        item.StoreInFile = 0;
        SetFieldText(item.FileName, prefix + n + QStringLiteral(".pfd"));
        SetFolderField(item.RegPath, Options.ProfileRegFolder, "the registry folder");
        SetFolderField(item.FilePath, documentsProfileFolder, "the profile folder");
        SetFolderField(item.MacroPath, documentsProfileFolder + u'/' + prefix + n + QStringLiteral("_Macros"),
                       "the macro folder");
    }
    Group.CurrentProfileGroup = 0;
    Group.ProfileIndexOfProfileGroup[0] = 0;
    Group.ProfileIndexOfProfileGroup[1] = 1;
}

void RestoreProfileGroupImageDefaults(QByteArray &image, const TOptionsFromConfigFile &Options,
                                      const QString &documentsProfileFolder)
{
    ApplyToImage<TProfileSettingGroup>(
        image, [&](TProfileSettingGroup &g) { RestoreProfileGroupDefaults(g, Options, documentsProfileFolder); });
}
