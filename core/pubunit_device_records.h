#pragma once
// The stored records of the suite: one mouse profile (TMouseProfileInfo), the
// two setting-store records (TALLGAMESINFO, TProfileSettingGroup) and every
// record nested in them. Their layout is a file format shared with profile
// files, the per-user value store and the other program, so each record is a
// trivially copyable struct whose members sit exactly at the stored offsets
// (natural alignment gives every offset; explicit Reserved/Padding members fill
// the gaps). Images are moved with memcpy as little-endian bytes.
//
// Counts and indexes inside an image are untrusted: read them only through the
// Checked* accessors below, never index an array with a raw stored value.

#include <QDateTime>
#include <QString>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

static_assert(std::endian::native == std::endian::little,
              "stored records are little-endian images copied with memcpy");

// ---------------------------------------------------------------------------
// Sizes and capacities
// ---------------------------------------------------------------------------

inline constexpr std::size_t PROFILE_RECORD_SIZE = 121408;
inline constexpr int32_t PROFILE_FILE_VERSION = 259;

inline constexpr int PROFILE_COUNT = 5;           // profiles 0..4
inline constexpr int BUTTON_ENTRY_COUNT = 14;     // entries of ButtonFuncInfo
inline constexpr int WHEEL_BUTTON_ENTRY_COUNT = 2;
inline constexpr int CPI_STATE_COUNT = 11;        // entries of CPIState / UseDiffentXY
inline constexpr int CPI_LEVELS_IN_USE = 5;       // levels 0..4 are the ones the mouse and page know
inline constexpr int MACRO_STEP_CAPACITY = 128;   // steps of one macro
inline constexpr int MACRO_LIST_CAPACITY = 30;    // macros of one list = slots in the mouse
inline constexpr int MACRO_NAME_UNITS = 51;       // szMacroName
inline constexpr int MACRO_NAME_MAX_CHARS = 50;   // a macro name is read as at most 50 units
inline constexpr int SHORT_TEXT_UNITS = 31;       // key texts, macro set and macro names
inline constexpr int PROFILE_MACRO_PATH_UNITS = 513;
inline constexpr int SETTING_PATH_UNITS = 1024;   // FilePath, RegPath, MacroPath of a setting item
inline constexpr int SETTING_FILE_NAME_UNITS = 21;// FileName: at most 20 characters
inline constexpr int FUNCTION_TABLE_ROWS = 48;
inline constexpr int DEVICE_KEY_TABLE_ENTRIES = 24;

// Registry value names of the two setting stores.
inline constexpr char ALL_SETTINGS_VALUE_NAME[] = "allsettings.pfd";
inline constexpr char PROFILE_SETTING_GROUP_VALUE_NAME[] = "ProfileSettingGroup.pfd";

// ---------------------------------------------------------------------------
// Programs, windows and messages
// ---------------------------------------------------------------------------

inline constexpr char CONFIG_WINDOW_CLASS[] = "THKT75CFGMAIN";
inline constexpr char CONFIG_EXE_NAME[] = "HKT75";        // "HKT75.EXE" on Windows
inline constexpr char CONFIG_APP_TITLE[] = "GAMING MOUSE CONFIG";
inline constexpr char MONITOR_WINDOW_CLASS[] = "THKT75MONMAIN";
inline constexpr char MONITOR_EXE_NAME[] = "HKT75MON";    // "HKT75MON.EXE" on Windows
inline constexpr char MONITOR_APP_TITLE[] = "GAMING MOUSE MONITOR";
inline constexpr char DRIVER_TITLE[] = "GAMING MOUSE DRIVER";
inline constexpr char DIALOG_TITLE_WARNING[] = "WARNING";

inline constexpr uint32_t WM_PROFILE_CHANGED = 7035;
inline constexpr uint32_t WM_EXIT_PROGRAM = 7036;
inline constexpr uint32_t WM_LANGUAGE_CHANGED = 7037;
inline constexpr uint32_t WM_RESERVED = 7038;
inline constexpr uint32_t WM_SWITCH_PROFILE = 7040;
inline constexpr uint32_t WM_CPI_INDEX_CHANGED = 7042;
inline constexpr uint32_t WM_REPORT_RATE_CHANGED = 7043;
// Posted by the monitor to the configuration window after each reopening of
// its readers: until then nobody heard the mouse, whose DPI levels and rates
// may have changed; the window reads them again.
inline constexpr uint32_t WM_MOUSE_READ_AGAIN = 7044;
inline constexpr uint32_t WM_DEVICE_KEY = 7524;

// ---------------------------------------------------------------------------
// Device function codes (first byte of a button in the mouse's button map)
// ---------------------------------------------------------------------------

inline constexpr int32_t DEVICE_FUNCTION_LEFT_CLICK = 1;
inline constexpr int32_t DEVICE_FUNCTION_RIGHT_CLICK = 2;
inline constexpr int32_t DEVICE_FUNCTION_MIDDLE_BUTTON = 3;
inline constexpr int32_t DEVICE_FUNCTION_BACKWARD = 4;
inline constexpr int32_t DEVICE_FUNCTION_FORWARD = 5;
inline constexpr int32_t DEVICE_FUNCTION_CPI_CYCLE = 8;
inline constexpr int32_t DEVICE_FUNCTION_CPI_DOWN = 9;
inline constexpr int32_t DEVICE_FUNCTION_CPI_UP = 10;
inline constexpr int32_t DEVICE_FUNCTION_PARAM1_11 = 11;   // no menu item; DeviceParam1
inline constexpr int32_t DEVICE_FUNCTION_PARAM1_12 = 12;   // no menu item; DeviceParam1
inline constexpr int32_t DEVICE_FUNCTION_PROFILE_SWITCH = 13;
inline constexpr int32_t DEVICE_FUNCTION_HID_CODE = 14;    // consumer usage; DISABLE is usage 0
inline constexpr int32_t DEVICE_FUNCTION_COMBO_KEY = 15;
inline constexpr int32_t DEVICE_FUNCTION_SINGLE_KEY = 16;
inline constexpr int32_t DEVICE_FUNCTION_MACRO = 17;
inline constexpr int32_t DEVICE_FUNCTION_PARAM3_18 = 18;   // no menu item; DeviceParam3
inline constexpr int32_t DEVICE_FUNCTION_MEDIA_PLAYER = 19;
inline constexpr int32_t DEVICE_FUNCTION_REPORT_RATE_UP = 23;
inline constexpr int32_t DEVICE_FUNCTION_REPORT_RATE_DOWN = 24;
inline constexpr int32_t DEVICE_FUNCTION_FIRE_KEY = 25;

// FunctionType of a button entry: which parameter fields count.
inline constexpr uint8_t FUNCTION_TYPE_DEVICE = 1;
inline constexpr uint8_t FUNCTION_TYPE_COMBO_KEY = 3;
inline constexpr uint8_t FUNCTION_TYPE_MACRO = 4;
inline constexpr uint8_t FUNCTION_TYPE_SINGLE_KEY = 8;
inline constexpr uint8_t FUNCTION_TYPE_HID_CODE = 10;
inline constexpr uint8_t FUNCTION_TYPE_DEVICE_PARAMS = 11;
inline constexpr uint8_t FUNCTION_TYPE_FIRE_KEY = 13;

// FireKey.KeyCode values that stand for mouse buttons rather than a key usage.
inline constexpr uint16_t FIRE_KEY_LEFT_BUTTON = 129;
inline constexpr uint16_t FIRE_KEY_RIGHT_BUTTON = 130;
inline constexpr uint16_t FIRE_KEY_MIDDLE_BUTTON = 132;

// Macro step types (TMACROKEY.nKeyType).
inline constexpr uint16_t MACRO_STEP_MOUSE_BUTTON = 1;
inline constexpr uint16_t MACRO_STEP_KEY = 4;
inline constexpr uint16_t MACRO_STEP_PRESS_RELEASE = 5;
inline constexpr uint16_t MACRO_STEP_DELAY = 6;
inline constexpr uint16_t MACRO_STEP_END = 7;   // device encoding only, never stored

// Combination modifier mask as the suite stores it.
inline constexpr uint16_t MODIFIER_ALT = 1;
inline constexpr uint16_t MODIFIER_CTRL = 2;
inline constexpr uint16_t MODIFIER_SHIFT = 4;
inline constexpr uint16_t MODIFIER_WIN = 8;

// ---------------------------------------------------------------------------
// Profile records
// ---------------------------------------------------------------------------

// One 8-byte date-time value; the suite writes it only as a date-time number
// (days since 30 December 1899, the fraction being the time of day). Kept as
// raw bytes so a stored image round-trips whatever it holds.
struct TProfileUIDData {
    uint8_t RawData[8];
};

struct TProfileHeader {
    int32_t FFileVersion;
    uint8_t FFileType[8];        // layout only
    uint8_t FFileName[44];       // layout only
    uint32_t FProfileSize;       // layout only
    uint8_t Padding60[4];
    TProfileUIDData FProfileUID;
};

struct TFUNCTIONLIST {
    uint8_t FunctionInfo[800];   // layout only
};

struct TSINGLEKEYINFO {
    uint16_t nKeyValue1;         // Windows virtual-key code
    uint16_t nKey1Extended;      // 0/1 (224/225 accepted by the key tables)
    char16_t SingleKeyText[SHORT_TEXT_UNITS];
};

struct TCOMBOKEYINFO {
    uint16_t nKeyValue1;
    uint16_t nKey1Extended;
    uint16_t nKeyValue2;         // 0 when there is no second key
    uint16_t nKey2Extended;
    uint16_t nModifier;          // MODIFIER_* bits
    char16_t ComboKeyText[SHORT_TEXT_UNITS];
};

struct THID_CODE_INFO {
    uint16_t nKeyValue1;
    uint16_t nKeyValue2;
    uint16_t nModifier;
};

struct TADVANCEDFIREKEYINFO {
    uint16_t nLoopCount;
    uint16_t DelyValue;
    uint16_t KeyCode;            // FIRE_KEY_* or the HID usage of KeyValue
    TSINGLEKEYINFO KeyValue;
};

struct TMACROKEY {
    uint16_t nKeyType;
    uint16_t nKeyState;          // 1 press, 0 release
    uint8_t VALUE1;
    uint8_t VALUE2;
};

struct TMACROKEYINFO {
    TMACROKEY MacroList[MACRO_STEP_CAPACITY];
    int32_t MacroListCount;
    uint16_t nAutoAddDelay;
    uint8_t nLoopRunWhenPressed;
    uint8_t Padding775;
    uint16_t nLoopCount;
    uint16_t nMacroIndex;        // slot 0..29 in the mouse's macro area
    uint8_t MacroUse;
    uint8_t Padding781;
    char16_t szMacroName[MACRO_NAME_UNITS];
    uint32_t Version;
    int32_t HaveErrors;
    int32_t ErrorCount;
};

struct TMACROKEYINFOLIST {
    TMACROKEYINFO MacroInfos[MACRO_LIST_CAPACITY];
    uint16_t nMacroInfoCount;
    uint8_t Padding26882[2];
};

struct TMACROINFOLIST_TO_DEVICE {
    uint8_t MacroInfos[4480];    // layout only
    uint16_t nMacroInfoCount;
    uint8_t Padding4482[2];
};

struct TBUTTONFUNCINFO {
    uint8_t Reserved0[2];
    TSINGLEKEYINFO SingleKey;
    TCOMBOKEYINFO ComboKey;
    THID_CODE_INFO HIDCode;      // consumer usage: low byte, high byte, 0
    uint8_t Reserved146[62];
    char16_t MacroSetName[SHORT_TEXT_UNITS];
    char16_t MacroName[SHORT_TEXT_UNITS];
    TMACROKEYINFO MacroKeyInfo;
    uint8_t Reserved1228[12];
    int32_t DeviceParam1;
    uint8_t Reserved1244[2820];
    uint8_t DeviceParamBytes[3];
    uint8_t Reserved4067;
    TADVANCEDFIREKEYINFO FireKey;
    int32_t LeftClickFlag;
    int32_t DeviceParam3;
    uint16_t ButtonIndex;
    uint16_t FunctionIndex;      // FUNCTION_TABLE row; read via CheckedFunctionIndex
    uint8_t FunctionType;
    uint8_t Padding4153[3];
    int32_t DeviceFunctionCode;
    int32_t MenuID;              // 0 stands for the menu id of row FunctionIndex
    uint8_t Reserved4164[4];
};

// Offset of the fields before ButtonIndex: the part the factory defaults clear.
inline constexpr std::size_t BUTTON_PARAMETER_BYTES = 4148;

struct TCPISTATE {
    uint16_t X;
    uint16_t Y;
    uint16_t Enabled;
    uint8_t Reserved6[4];
};

struct TLEDCONFIG {
    uint8_t R;
    uint8_t G;
    uint8_t B;
    uint8_t BRIGHT_LEVEL;
    uint8_t BREATH_SPEED;
    uint8_t BREATH_SECOND;
};

struct TSENSORLIFT {
    uint8_t SensorLift;
};

struct TPROFILE_MACRO_PATH {
    char16_t FilePath[PROFILE_MACRO_PATH_UNITS];   // layout only
};

struct TMOUSECONFIGINFO {
    TBUTTONFUNCINFO ButtonFuncInfo[BUTTON_ENTRY_COUNT];
    TBUTTONFUNCINFO VWheelButtonFuncInfo[WHEEL_BUTTON_ENTRY_COUNT];   // layout only
    TBUTTONFUNCINFO HWheelButtonFuncInfo[WHEEL_BUTTON_ENTRY_COUNT];   // layout only
    uint16_t VWheelType;                  // layout only
    uint16_t HWheelType;                  // layout only
    uint16_t VWheelSpeed;
    uint16_t HWheelSpeed;                 // layout only
    uint16_t DoubleClickSpeed;
    uint16_t PointerSpeed;
    uint16_t PointerAcceleration;
    uint16_t UseSystemPointerSpeedSetting;   // layout only
    uint16_t ReportRate;
    uint8_t Padding75042[2];
    int32_t CurrentCPIIndex;              // read via CheckedCurrentCPIIndex
    uint16_t CurrentCPIX;                 // layout only
    uint16_t CurrentCPIY;                 // layout only
    uint16_t MinCPI;                      // layout only
    uint16_t MaxCPI;                      // layout only
    uint16_t UseDiffentXY[CPI_STATE_COUNT];
    uint16_t UseCPIOnScreenFlyShow;       // layout only
    TCPISTATE CPIState[CPI_STATE_COUNT];
    uint16_t CPILevel;                    // read via CheckedCPILevel
    uint16_t AutoSwitchProfileWhenAppRun; // layout only
    uint8_t ApplicationList[10260];       // layout only
    TLEDCONFIG LEDConfig;
    TSENSORLIFT Sensorlift;
    uint8_t Padding85461[3];
    int32_t ButtonCount;                  // read via CheckedButtonCount
    TPROFILE_MACRO_PATH ProfilePath;      // layout only
    TPROFILE_MACRO_PATH MacroPath;        // layout only
    int32_t FireKeySpeed;                 // layout only
    int32_t FireKeyCount;                 // layout only
};

struct TMouseProfileInfo {
    TProfileHeader ProfileHeader;
    TFUNCTIONLIST FunctionList;           // layout only
    TMOUSECONFIGINFO ConfigInfo;
    TFUNCTIONLIST HWheelFunctionList;     // layout only
    TFUNCTIONLIST VWheelFunctionList;     // layout only
    TMACROKEYINFOLIST MacroKeyInfoList;
    TMACROINFOLIST_TO_DEVICE MacroInfoToDevice;   // layout only
    // Slot of the in-memory TOtherConfig: zero in every image the suite
    // creates, carried through unchanged in loaded ones, never interpreted.
    uint8_t OtherConfig[36];
    uint8_t Padding121404[4];
};

// ---------------------------------------------------------------------------
// Setting-store records
// ---------------------------------------------------------------------------

struct TProfileSettingItem {
    uint16_t EntryFlag;
    char16_t FilePath[SETTING_PATH_UNITS];      // folder of the profile file, ends in a separator
    char16_t RegPath[SETTING_PATH_UNITS];
    char16_t FileName[SETTING_FILE_NAME_UNITS]; // file name and registry value name
    char16_t MacroPath[SETTING_PATH_UNITS];
    uint8_t StoreInFile;                        // 1 file, 0 registry, other: neither
    uint8_t Padding6189;
};

struct TProfileSettingGroup {
    int32_t CurrentProfileGroup;
    int32_t ProfileIndexOfProfileGroup[2];
    TProfileSettingItem ProfileSettingList[PROFILE_COUNT];
    uint8_t Padding30962[2];
};

struct TALLGAMESINFO {
    TProfileSettingItem Allgameset[PROFILE_COUNT];
    uint16_t CurrentGame;
    uint8_t CurrentLanguage;
    uint8_t Padding30953;
};

// ---------------------------------------------------------------------------
// Layout checks: sizes and every offset the stored format fixes
// ---------------------------------------------------------------------------

#define HKT_RECORD_AT(T, field, off) static_assert(offsetof(T, field) == (off), #T "." #field)

static_assert(sizeof(TProfileUIDData) == 8);
static_assert(sizeof(TProfileHeader) == 72);
HKT_RECORD_AT(TProfileHeader, FFileVersion, 0);
HKT_RECORD_AT(TProfileHeader, FFileType, 4);
HKT_RECORD_AT(TProfileHeader, FFileName, 12);
HKT_RECORD_AT(TProfileHeader, FProfileSize, 56);
HKT_RECORD_AT(TProfileHeader, FProfileUID, 64);

static_assert(sizeof(TFUNCTIONLIST) == 800);
static_assert(sizeof(TSINGLEKEYINFO) == 66);
HKT_RECORD_AT(TSINGLEKEYINFO, nKey1Extended, 2);
HKT_RECORD_AT(TSINGLEKEYINFO, SingleKeyText, 4);
static_assert(sizeof(TCOMBOKEYINFO) == 72);
HKT_RECORD_AT(TCOMBOKEYINFO, nKeyValue2, 4);
HKT_RECORD_AT(TCOMBOKEYINFO, nKey2Extended, 6);
HKT_RECORD_AT(TCOMBOKEYINFO, nModifier, 8);
HKT_RECORD_AT(TCOMBOKEYINFO, ComboKeyText, 10);
static_assert(sizeof(THID_CODE_INFO) == 6);
HKT_RECORD_AT(THID_CODE_INFO, nKeyValue2, 2);
HKT_RECORD_AT(THID_CODE_INFO, nModifier, 4);
static_assert(sizeof(TADVANCEDFIREKEYINFO) == 72);
HKT_RECORD_AT(TADVANCEDFIREKEYINFO, DelyValue, 2);
HKT_RECORD_AT(TADVANCEDFIREKEYINFO, KeyCode, 4);
HKT_RECORD_AT(TADVANCEDFIREKEYINFO, KeyValue, 6);
static_assert(sizeof(TMACROKEY) == 6);
HKT_RECORD_AT(TMACROKEY, nKeyState, 2);
HKT_RECORD_AT(TMACROKEY, VALUE1, 4);
HKT_RECORD_AT(TMACROKEY, VALUE2, 5);

static_assert(sizeof(TMACROKEYINFO) == 896);
HKT_RECORD_AT(TMACROKEYINFO, MacroListCount, 768);
HKT_RECORD_AT(TMACROKEYINFO, nAutoAddDelay, 772);
HKT_RECORD_AT(TMACROKEYINFO, nLoopRunWhenPressed, 774);
HKT_RECORD_AT(TMACROKEYINFO, nLoopCount, 776);
HKT_RECORD_AT(TMACROKEYINFO, nMacroIndex, 778);
HKT_RECORD_AT(TMACROKEYINFO, MacroUse, 780);
HKT_RECORD_AT(TMACROKEYINFO, szMacroName, 782);
HKT_RECORD_AT(TMACROKEYINFO, Version, 884);
HKT_RECORD_AT(TMACROKEYINFO, HaveErrors, 888);
HKT_RECORD_AT(TMACROKEYINFO, ErrorCount, 892);

static_assert(sizeof(TMACROKEYINFOLIST) == 26884);
HKT_RECORD_AT(TMACROKEYINFOLIST, nMacroInfoCount, 26880);
static_assert(sizeof(TMACROINFOLIST_TO_DEVICE) == 4484);
HKT_RECORD_AT(TMACROINFOLIST_TO_DEVICE, nMacroInfoCount, 4480);

static_assert(sizeof(TBUTTONFUNCINFO) == 4168);
HKT_RECORD_AT(TBUTTONFUNCINFO, SingleKey, 2);
HKT_RECORD_AT(TBUTTONFUNCINFO, ComboKey, 68);
HKT_RECORD_AT(TBUTTONFUNCINFO, HIDCode, 140);
HKT_RECORD_AT(TBUTTONFUNCINFO, Reserved146, 146);
HKT_RECORD_AT(TBUTTONFUNCINFO, MacroSetName, 208);
HKT_RECORD_AT(TBUTTONFUNCINFO, MacroName, 270);
HKT_RECORD_AT(TBUTTONFUNCINFO, MacroKeyInfo, 332);
HKT_RECORD_AT(TBUTTONFUNCINFO, Reserved1228, 1228);
HKT_RECORD_AT(TBUTTONFUNCINFO, DeviceParam1, 1240);
HKT_RECORD_AT(TBUTTONFUNCINFO, Reserved1244, 1244);
HKT_RECORD_AT(TBUTTONFUNCINFO, DeviceParamBytes, 4064);
HKT_RECORD_AT(TBUTTONFUNCINFO, FireKey, 4068);
HKT_RECORD_AT(TBUTTONFUNCINFO, LeftClickFlag, 4140);
HKT_RECORD_AT(TBUTTONFUNCINFO, DeviceParam3, 4144);
HKT_RECORD_AT(TBUTTONFUNCINFO, ButtonIndex, BUTTON_PARAMETER_BYTES);
HKT_RECORD_AT(TBUTTONFUNCINFO, FunctionIndex, 4150);
HKT_RECORD_AT(TBUTTONFUNCINFO, FunctionType, 4152);
HKT_RECORD_AT(TBUTTONFUNCINFO, DeviceFunctionCode, 4156);
HKT_RECORD_AT(TBUTTONFUNCINFO, MenuID, 4160);

static_assert(sizeof(TCPISTATE) == 10);
HKT_RECORD_AT(TCPISTATE, Y, 2);
HKT_RECORD_AT(TCPISTATE, Enabled, 4);
static_assert(sizeof(TLEDCONFIG) == 6);
HKT_RECORD_AT(TLEDCONFIG, BRIGHT_LEVEL, 3);
HKT_RECORD_AT(TLEDCONFIG, BREATH_SPEED, 4);
HKT_RECORD_AT(TLEDCONFIG, BREATH_SECOND, 5);
static_assert(sizeof(TSENSORLIFT) == 1);
static_assert(sizeof(TPROFILE_MACRO_PATH) == 1026);

static_assert(sizeof(TMOUSECONFIGINFO) == 87528);
HKT_RECORD_AT(TMOUSECONFIGINFO, VWheelButtonFuncInfo, 58352);
HKT_RECORD_AT(TMOUSECONFIGINFO, HWheelButtonFuncInfo, 66688);
HKT_RECORD_AT(TMOUSECONFIGINFO, VWheelType, 75024);
HKT_RECORD_AT(TMOUSECONFIGINFO, HWheelType, 75026);
HKT_RECORD_AT(TMOUSECONFIGINFO, VWheelSpeed, 75028);
HKT_RECORD_AT(TMOUSECONFIGINFO, HWheelSpeed, 75030);
HKT_RECORD_AT(TMOUSECONFIGINFO, DoubleClickSpeed, 75032);
HKT_RECORD_AT(TMOUSECONFIGINFO, PointerSpeed, 75034);
HKT_RECORD_AT(TMOUSECONFIGINFO, PointerAcceleration, 75036);
HKT_RECORD_AT(TMOUSECONFIGINFO, UseSystemPointerSpeedSetting, 75038);
HKT_RECORD_AT(TMOUSECONFIGINFO, ReportRate, 75040);
HKT_RECORD_AT(TMOUSECONFIGINFO, CurrentCPIIndex, 75044);
HKT_RECORD_AT(TMOUSECONFIGINFO, CurrentCPIX, 75048);
HKT_RECORD_AT(TMOUSECONFIGINFO, CurrentCPIY, 75050);
HKT_RECORD_AT(TMOUSECONFIGINFO, MinCPI, 75052);
HKT_RECORD_AT(TMOUSECONFIGINFO, MaxCPI, 75054);
HKT_RECORD_AT(TMOUSECONFIGINFO, UseDiffentXY, 75056);
HKT_RECORD_AT(TMOUSECONFIGINFO, UseCPIOnScreenFlyShow, 75078);
HKT_RECORD_AT(TMOUSECONFIGINFO, CPIState, 75080);
HKT_RECORD_AT(TMOUSECONFIGINFO, CPILevel, 75190);
HKT_RECORD_AT(TMOUSECONFIGINFO, AutoSwitchProfileWhenAppRun, 75192);
HKT_RECORD_AT(TMOUSECONFIGINFO, ApplicationList, 75194);
HKT_RECORD_AT(TMOUSECONFIGINFO, LEDConfig, 85454);
HKT_RECORD_AT(TMOUSECONFIGINFO, Sensorlift, 85460);
HKT_RECORD_AT(TMOUSECONFIGINFO, ButtonCount, 85464);
HKT_RECORD_AT(TMOUSECONFIGINFO, ProfilePath, 85468);
HKT_RECORD_AT(TMOUSECONFIGINFO, MacroPath, 86494);
HKT_RECORD_AT(TMOUSECONFIGINFO, FireKeySpeed, 87520);
HKT_RECORD_AT(TMOUSECONFIGINFO, FireKeyCount, 87524);

static_assert(sizeof(TMouseProfileInfo) == PROFILE_RECORD_SIZE);
HKT_RECORD_AT(TMouseProfileInfo, FunctionList, 72);
HKT_RECORD_AT(TMouseProfileInfo, ConfigInfo, 872);
HKT_RECORD_AT(TMouseProfileInfo, HWheelFunctionList, 88400);
HKT_RECORD_AT(TMouseProfileInfo, VWheelFunctionList, 89200);
HKT_RECORD_AT(TMouseProfileInfo, MacroKeyInfoList, 90000);
HKT_RECORD_AT(TMouseProfileInfo, MacroInfoToDevice, 116884);
HKT_RECORD_AT(TMouseProfileInfo, OtherConfig, 121368);
HKT_RECORD_AT(TMouseProfileInfo, Padding121404, 121404);

static_assert(sizeof(TProfileSettingItem) == 6190);
HKT_RECORD_AT(TProfileSettingItem, FilePath, 2);
HKT_RECORD_AT(TProfileSettingItem, RegPath, 2050);
HKT_RECORD_AT(TProfileSettingItem, FileName, 4098);
HKT_RECORD_AT(TProfileSettingItem, MacroPath, 4140);
HKT_RECORD_AT(TProfileSettingItem, StoreInFile, 6188);
static_assert(sizeof(TProfileSettingGroup) == 30964);
HKT_RECORD_AT(TProfileSettingGroup, ProfileIndexOfProfileGroup, 4);
HKT_RECORD_AT(TProfileSettingGroup, ProfileSettingList, 12);
HKT_RECORD_AT(TProfileSettingGroup, Padding30962, 30962);
static_assert(sizeof(TALLGAMESINFO) == 30954);
HKT_RECORD_AT(TALLGAMESINFO, CurrentGame, 30950);
HKT_RECORD_AT(TALLGAMESINFO, CurrentLanguage, 30952);

#undef HKT_RECORD_AT

static_assert(std::is_trivially_copyable_v<TMouseProfileInfo> && std::is_standard_layout_v<TMouseProfileInfo>);
static_assert(std::is_trivially_copyable_v<TProfileSettingGroup> && std::is_standard_layout_v<TProfileSettingGroup>);
static_assert(std::is_trivially_copyable_v<TALLGAMESINFO> && std::is_standard_layout_v<TALLGAMESINFO>);

// ---------------------------------------------------------------------------
// Constant tables
// ---------------------------------------------------------------------------

// One row of FUNCTION_TABLE: a function-menu item and the device code it sends.
struct TFunctionTableRow {
    int32_t Row;
    int32_t DeviceFunctionCode;
    int32_t MenuID;
};

inline constexpr std::array<TFunctionTableRow, FUNCTION_TABLE_ROWS> FUNCTION_TABLE = {{
    {0, 1, 1},        // CLICK
    {1, 2, 2},        // RIGHT CLICK
    {2, 3, 3},        // MIDDLE BUTTON
    {3, 5, 4},        // FORWARD
    {4, 4, 5},        // BACKWARD
    {5, 16, 6},       // SINGLE KEY
    {6, 15, 7},       // COMBO KEY
    {7, 15, 801},     // BASIC: CUT
    {8, 15, 802},     // COPY
    {9, 15, 803},     // PASTE
    {10, 15, 804},    // SELECT ALL
    {11, 15, 805},    // FIND
    {12, 15, 806},    // NEW
    {13, 15, 807},    // PRINT
    {14, 15, 808},    // SAVE
    {15, 15, 901},    // ADVANCED: SWITCH WINDOW
    {16, 15, 902},    // CLOSE WINDOW
    {17, 15, 903},    // OPEN EXPLORER
    {18, 15, 904},    // RUN
    {19, 15, 905},    // SHOW DESKTOP
    {20, 15, 906},    // LOCK PC
    {21, 14, 907},    // BROWSER HOME
    {22, 14, 908},    // BROWSER BACKWARD
    {23, 14, 909},    // BROWSER FORWARD
    {24, 14, 910},    // BROWSER STOP
    {25, 14, 911},    // BROWSER REFRESH
    {26, 14, 912},    // BROWSER SEARCH
    {27, 14, 913},    // BROWSER FAVORITE
    {28, 14, 914},    // MAIL (the monitor's microphone-mute row)
    {29, 14, 1001},   // MEDIA: PLAY/PAUSE
    {30, 14, 1002},   // STOP
    {31, 14, 1003},   // PREVIOUS TRACK
    {32, 14, 1004},   // NEXT TRACK
    {33, 14, 1005},   // VOLUME UP
    {34, 14, 1006},   // VOLUME DOWN
    {35, 14, 1007},   // MUTE
    {36, 19, 1008},   // MEDIA PLAYER
    {37, 17, 11},     // MACRO
    {38, 25, 12},     // FIRE KEY...
    {39, 8, 13},      // DPI SWITCH
    {40, 8, 1301},    // DPI SWITCH CYCLE
    {41, 10, 1302},   // DPI +
    {42, 9, 1303},    // DPI -
    {43, 13, 14},     // PROFILE SWITCH
    {44, 8, 15},      // REPORT RATE
    {45, 23, 1501},   // REPORT RATE +
    {46, 24, 1502},   // REPORT RATE -
    {47, 14, 16},     // DISABLE
}};

inline constexpr int FUNCTION_ROW_MAIL = 28;   // a button on this row toggles the microphone mute

// Report ID 7 followed by the 24-bit little-endian mask with only bit j set.
inline constexpr std::array<std::array<uint8_t, 4>, DEVICE_KEY_TABLE_ENTRIES> DEVICE_KEY_TABLE = [] {
    std::array<std::array<uint8_t, 4>, DEVICE_KEY_TABLE_ENTRIES> t{};
    for (int j = 0; j < DEVICE_KEY_TABLE_ENTRIES; ++j) {
        const uint32_t mask = 1u << j;
        t[j] = {7, uint8_t(mask & 0xFF), uint8_t((mask >> 8) & 0xFF), uint8_t((mask >> 16) & 0xFF)};
    }
    return t;
}();

// Row r of FUNCTION_TABLE, or nothing for a row outside 0..47.
std::optional<TFunctionTableRow> FunctionTableRow(int row);
// First row whose menu identifier is menuId, or nothing.
std::optional<int> FunctionRowByMenuID(int32_t menuId);

// ---------------------------------------------------------------------------
// Date and time of a profile
// ---------------------------------------------------------------------------

// Stores the current local date and time as a date-time number.
void GetProfileUID(TProfileUIDData &uid);

// The date-time number of a local date and time (days since 1899-12-30 plus
// the fraction of the day) and the reverse; the views of TProfileUIDData.
double DateTimeNumber(const QDateTime &local);
double ProfileUIDDataTime(const TProfileUIDData &uid);
void SetProfileUIDDataTime(TProfileUIDData &uid, double dateTime);

// ---------------------------------------------------------------------------
// Checked accessors for counts and indexes read from an image
// ---------------------------------------------------------------------------

// Buttons the profile defines, clamped to the 14 entries that exist.
int CheckedButtonCount(const TMOUSECONFIGINFO &config);
// ButtonIndex of an entry when it names one of the 14 buttons.
std::optional<int> CheckedButtonIndex(const TBUTTONFUNCINFO &button);
// FunctionIndex when it is a row of FUNCTION_TABLE.
std::optional<int> CheckedFunctionIndex(const TBUTTONFUNCINFO &button);
// The menu id a button shows: MenuID, or that of row FunctionIndex when 0.
// Nothing when MenuID is 0 and FunctionIndex is no row.
std::optional<int32_t> ShownMenuID(const TBUTTONFUNCINFO &button);
// The active resolution level when it is one of the levels in use (0..4).
std::optional<int> CheckedCurrentCPIIndex(const TMOUSECONFIGINFO &config);
// Number of resolution levels, clamped to the levels in use (0..5).
int CheckedCPILevel(const TMOUSECONFIGINFO &config);
// Steps of a macro, clamped to 0..128.
int CheckedMacroListCount(const TMACROKEYINFO &macro);
// Macros of a list, clamped to 0..30.
int CheckedMacroInfoCount(const TMACROKEYINFOLIST &list);
// The macro's slot in the mouse's macro area when it is one (0..29).
std::optional<int> CheckedMacroIndex(const TMACROKEYINFO &macro);
// CurrentGame when it names a profile (0..4).
std::optional<int> CheckedCurrentGame(const TALLGAMESINFO &all);
// CurrentProfileGroup when it is 0 or 1.
std::optional<int> CheckedCurrentProfileGroup(const TProfileSettingGroup &group);
// The profile index that the current group selects, when both are in range.
std::optional<int> CheckedGroupProfileIndex(const TProfileSettingGroup &group);
// Where a profile is read from: true file, false registry, nothing for neither.
std::optional<bool> CheckedStoreInFile(const TProfileSettingItem &item);

// A name that can be used as one file name or value name: not empty, no path
// separator, no NUL, no "..", not ".".
bool IsSafeFileName(const QString &name);

// ---------------------------------------------------------------------------
// UTF-16 text fields
// ---------------------------------------------------------------------------

// The text of a fixed field: up to its first NUL, never past maxUnits (nor
// past the field), so a field without a NUL still reads safely.
QString FieldText(const char16_t *field, std::size_t units, std::size_t maxUnits);
// Writes text into a fixed field: at most units - 1 code units, cut before a
// surrogate pair rather than through it, NUL-terminated, tail zeroed.
// Returns false when the text had to be cut.
bool SetFieldText(char16_t *field, std::size_t units, const QString &text);
// Whether text fits whole into a field of that many units (with its NUL).
bool FitsField(std::size_t units, const QString &text);

template <std::size_t N>
QString FieldText(const char16_t (&field)[N], std::size_t maxUnits = N)
{
    return FieldText(field, N, maxUnits);
}

template <std::size_t N>
bool SetFieldText(char16_t (&field)[N], const QString &text)
{
    return SetFieldText(field, N, text);
}

// A macro's name, read as at most 50 units.
QString MacroNameText(const TMACROKEYINFO &macro);

// ---------------------------------------------------------------------------
// Raw images
// ---------------------------------------------------------------------------

// Copies at most sizeof(T) bytes of an image into rec; the rest of rec keeps
// what it held. Returns the bytes copied.
template <class T>
std::size_t CopyImageToRecord(T &rec, const void *data, std::size_t size)
{
    static_assert(std::is_trivially_copyable_v<T>);
    const std::size_t n = size < sizeof(T) ? size : sizeof(T);
    if (n != 0 && data != nullptr)
        std::memcpy(&rec, data, n);
    return data != nullptr ? n : 0;
}

// The record's bytes, to be written whole.
template <class T>
const uint8_t *RecordBytes(const T &rec)
{
    static_assert(std::is_trivially_copyable_v<T>);
    return reinterpret_cast<const uint8_t *>(&rec);
}
