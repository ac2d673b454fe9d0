// The configuration window's pages with the simulated mouse: button
// functions through the menu and APPLY, DPI, light, profiles and files,
// information, help and language.

#include "MainConfigFixture.h"

#include "config/app/ButtonFunctions.h"
#include "config/app/MainConfigButtons.h"
#include "config/app/MainConfigDPI.h"
#include "config/app/MainConfigInfo.h"
#include "config/app/MainConfigLight.h"
#include "config/app/MainConfigProfiles.h"
#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwLanguage.h"
#include "config/ui/kwMenuBox.h"
#include "config/ui/kwMenuController.h"
#include "config/ui/kwMenuEx.h"
#include "core/FactoryDefaults.h"
#include "core/Function_ProfileFiles.h"
#include "core/kwMacroClassUnit.h"
#include "platform/WindowMessages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QPainter>
#include <QFile>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>

#include <array>
#include <optional>

using namespace hkt::testapp;
using hkt::skin::StateButton;

namespace {

// The monitor's window as the configuration program finds it: records what it gets.
struct MonitorPeer {
    struct Msg {
        std::uint32_t msg;
        std::int64_t w, l;
    };
    explicit MonitorPeer(const QString &root) : window(QString::fromLatin1(MONITOR_WINDOW_CLASS), root)
    {
        window.SetHandler([this](std::uint32_t m, std::int64_t w, std::int64_t l) {
            got.push_back({m, w, l});
            return std::int64_t(0);
        });
        EXPECT_TRUE(window.Register());
    }
    int Count(std::uint32_t m) const
    {
        int n = 0;
        for (const Msg &x : got)
            n += x.msg == m;
        return n;
    }
    std::optional<Msg> Last(std::uint32_t m) const
    {
        for (auto it = got.rbegin(); it != got.rend(); ++it)
            if (it->msg == m)
                return *it;
        return std::nullopt;
    }
    hkt::platform::MessageWindow window;
    std::vector<Msg> got;
};

// File dialogs that answer with a path, or cancel.
class ScriptedFileDialogs : public TProfileFileDialogs {
public:
    std::optional<QString> answer;
    std::optional<QString> ExecuteOpenDialog(const TProfileFileDialogOptions &) override { return answer; }
    std::optional<QString> ExecuteSaveDialog(const TProfileFileDialogOptions &) override { return answer; }
};

class MainConfigPagesTest : public MainConfigTest {
protected:
    // The dictionary in force is the process's: every test starts and ends
    // without one, whatever language a test chose.
    static void DropDictionary()
    {
        TkwLanguage none;
        none.SetLang(QStringLiteral("en"));
    }
    void SetUp() override
    {
        MainConfigTest::SetUp();
        DropDictionary();
    }
    void TearDown() override
    {
        SetProfileFileDialogs(nullptr);
        MainConfigTest::TearDown();
        DropDictionary();
    }

    TMainConfigButtons &Buttons() { return Form().ButtonsPage(); }
    TMainConfigDPI &DPI() { return Form().DPIPage(); }
    TMainConfigLight &Light() { return Form().LightPage(); }
    TMainConfigProfiles &Profiles() { return Form().ProfilesPage(); }
    TMainConfigInfo &Info() { return Form().InfoPage(); }
    TMOUSECONFIGINFO &Config() { return Dm().FCurrentProfileInfo.ConfigInfo; }

    std::vector<uint8_t> Mem(uint32_t addr, uint32_t len) { return m_mouse->Dump(addr, len); }
    std::array<uint8_t, 4> MapBytes(int p, int b)
    {
        const auto m = Mem(hkt::sim::ButtonMapAddr(p) + 1 + uint32_t(b) * 4, 4);
        return {m[0], m[1], m[2], m[3]};
    }
    bool Apply() { return Form().ApplySettings() == TApplyOutcome::Written; }
    // The profile as its store holds it (what a switch or the monitor reloads).
    TMouseProfileInfo Stored(int p)
    {
        TMouseProfileInfo info{};
        Dm().ReadProfileInfo(info, p);
        return info;
    }
    void UseLanguageFile()
    {
        QFile::remove(ProgramFolder() + "kw.local");
        ASSERT_TRUE(QFile::copy(QStringLiteral(HKT75_BIN_DIR "/kw.local"), ProgramFolder() + "kw.local"));
    }
    // An empty file of that name in the program folder.
    void MakeProgramFile(const char *name)
    {
        QFile f(ProgramFolder() + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    void WriteConfig(const QByteArray &text)
    {
        QFile f(ProgramFolder() + "config.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
};

struct MenuCase {
    int id;
    uint8_t type;
    int row;
    int code;
    std::array<uint8_t, 4> bytes; // the button's four bytes APPLY writes
};

// Every item the menu reports. Bytes by hand from the preset tables: HID
// modifiers Ctrl 1, Alt 4, Win 8; keyboard and consumer usages low byte
// first; CLICK on a button other than 0 and 1 carries LeftClickFlag 1.
const MenuCase kMenuCases[] = {
    {1, 1, 0, 1, {1, 1, 0, 0}},           {2, 1, 1, 2, {2, 0, 0, 0}},           {3, 1, 2, 3, {3, 0, 0, 0}},
    {4, 1, 3, 5, {5, 0, 0, 0}},           {5, 1, 4, 4, {4, 0, 0, 0}},           {801, 3, 7, 15, {15, 1, 0x1B, 0}},
    {802, 3, 8, 15, {15, 1, 0x06, 0}},    {803, 3, 9, 15, {15, 1, 0x19, 0}},    {804, 3, 10, 15, {15, 1, 0x04, 0}},
    {805, 3, 11, 15, {15, 1, 0x09, 0}},   {806, 3, 12, 15, {15, 1, 0x11, 0}},   {807, 3, 13, 15, {15, 1, 0x13, 0}},
    {808, 3, 14, 15, {15, 1, 0x16, 0}},   {901, 3, 15, 15, {15, 4, 0x2B, 0}},   {902, 3, 16, 15, {15, 4, 0x3D, 0}},
    {903, 3, 17, 15, {15, 8, 0x08, 0}},   {904, 3, 18, 15, {15, 8, 0x15, 0}},   {905, 3, 19, 15, {15, 8, 0x07, 0}},
    {906, 3, 20, 15, {15, 8, 0x0F, 0}},   {907, 10, 21, 14, {14, 0, 0x23, 2}},  {908, 10, 22, 14, {14, 0, 0x24, 2}},
    {909, 10, 23, 14, {14, 0, 0x25, 2}},  {910, 10, 24, 14, {14, 0, 0x26, 2}},  {911, 10, 25, 14, {14, 0, 0x27, 2}},
    {912, 10, 26, 14, {14, 0, 0x21, 2}},  {913, 10, 27, 14, {14, 0, 0x2A, 2}},  {914, 10, 28, 14, {14, 0, 0, 0}},
    {1001, 10, 29, 14, {14, 0, 0xCD, 0}}, {1002, 10, 30, 14, {14, 0, 0xB7, 0}}, {1003, 10, 31, 14, {14, 0, 0xB6, 0}},
    {1004, 10, 32, 14, {14, 0, 0xB5, 0}}, {1005, 10, 33, 14, {14, 0, 0xE9, 0}}, {1006, 10, 34, 14, {14, 0, 0xEA, 0}},
    {1007, 10, 35, 14, {14, 0, 0xE2, 0}}, {1008, 10, 36, 19, {19, 0, 0, 0}},    {1301, 1, 40, 8, {8, 0, 0, 0}},
    {1302, 1, 41, 10, {10, 0, 0, 0}},     {1303, 1, 42, 9, {9, 0, 0, 0}},       {14, 1, 43, 13, {13, 0, 0, 0}},
    {1501, 1, 45, 23, {23, 0, 0, 0}},     {1502, 1, 46, 24, {24, 0, 0, 0}},     {16, 10, 47, 14, {14, 0, 0, 0}},
    {1102, 4, 37, 17, {17, 0, 0, 0}},     {1103, 4, 37, 17, {17, 1, 0, 0}},
};

TEST_F(MainConfigPagesTest, EveryMenuItemReachesTheMouseWithApply)
{
    THKT75CFGMAIN &form = Form();
    const int p = Dm().FProfileIndex;
    // Buttons 2..12 take one item each per round (button 0 keeps the CLICK).
    constexpr int kFirst = 2, kButtons = SHOWN_BUTTON_COUNT - kFirst;
    const int n = int(std::size(kMenuCases));
    for (int start = 0; start < n; start += kButtons) {
        for (int k = start; k < std::min(n, start + kButtons); ++k) {
            const int b = kFirst + (k - start);
            Buttons().BtnSet1Click(b);
            Buttons().kwMenuEx1ItemsClick(uint32_t(kMenuCases[k].id));
            form.FunctionMenu().Controller().CloseMenuTree(form.FunctionMenu().Items());
        }
        ASSERT_TRUE(Apply());
        for (int k = start; k < std::min(n, start + kButtons); ++k) {
            const MenuCase &c = kMenuCases[k];
            const int b = kFirst + (k - start);
            SCOPED_TRACE(c.id);
            const TBUTTONFUNCINFO &e = Config().ButtonFuncInfo[b];
            EXPECT_EQ(e.FunctionType, c.type);
            EXPECT_EQ(e.FunctionIndex, c.row);
            EXPECT_EQ(e.DeviceFunctionCode, c.code);
            EXPECT_EQ(e.MenuID, c.id);
            std::array<uint8_t, 4> want = c.bytes;
            if (c.code == DEVICE_FUNCTION_MACRO) // the macro's length: its steps and the end step, 3 bytes each
                want[2] = uint8_t(GetMacroStepCount(e.MacroKeyInfo) * 3);
            EXPECT_EQ(MapBytes(p, b), want);
        }
    }
    EXPECT_TRUE(m_dialogs.empty());
}

TEST_F(MainConfigPagesTest, MenuOpensOverTheButtonAndAClickAssigns)
{
    THKT75CFGMAIN &form = Form();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    StateButton *b5 = Buttons().BtnSet[5];
    QTest::mouseClick(b5, Qt::LeftButton);
    TkwMenuEx &menu = form.FunctionMenu();
    ASSERT_TRUE(menu.IsMenuOpen());
    TkwMenuItemsEx &top = menu.Items();
    TkwMenuItemsEx &basic = top.Items(7)->SubItems();
    TkwMenuBox *topBox = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<TkwMenuBox *>(w); box && box->Collection() == &top)
            topBox = box;
    ASSERT_TRUE(topBox);
    QTest::mouseMove(topBox, menu.Controller().RowRect(top, 7).center().toPoint());
    ASSERT_TRUE(basic.GetIsMenuOpened());
    TkwMenuBox *subBox = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<TkwMenuBox *>(w); box && box->Collection() == &basic)
            subBox = box;
    ASSERT_TRUE(subBox);
    const QPoint copy = menu.Controller().RowRect(basic, 1).center().toPoint();
    QTest::mouseMove(subBox, copy);
    QTest::mouseClick(subBox, Qt::LeftButton, Qt::NoModifier, copy);
    QCoreApplication::processEvents();
    EXPECT_EQ(Config().ButtonFuncInfo[5].MenuID, 802);
    EXPECT_EQ(b5->text(), QStringLiteral("COPY"));
    EXPECT_EQ(b5->toolTip(), QStringLiteral("Ctrl+C"));
    EXPECT_TRUE(form.State().SettingsChanged);
    EXPECT_EQ(Stored(Dm().FProfileIndex).ConfigInfo.ButtonFuncInfo[5].MenuID, 802);
}

TEST_F(MainConfigPagesTest, ClickRuleAndMacroLimitShowTheirRefusals)
{
    THKT75CFGMAIN &form = Form();
    const TBUTTONFUNCINFO before = Config().ButtonFuncInfo[0];
    Buttons().BtnSet1Click(0);
    Buttons().kwMenuEx1ItemsClick(2);
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].title, QStringLiteral("WARNING"));
    EXPECT_EQ(m_dialogs[0].text, QStringLiteral("AT LEAST ONE \"CLICK\" FUNCTION TO BE RETAINED."));
    EXPECT_EQ(std::memcmp(&before, &Config().ButtonFuncInfo[0], sizeof before), 0);
    EXPECT_TRUE(form.State().SettingsChanged) << "a refused choice still marks the settings";

    // Five distinct macros fit, the sixth is refused.
    for (const char *n : {"Macro3", "Macro4", "Macro5", "Macro6"})
        form.MacroSet().CreateNewMacro(QString::fromLatin1(n));
    form.MacroSet().SaveBackCurrentMacroClassDataToCurrentMacroList();
    Buttons().BuildMacroSubmenu();
    for (int b = 3; b < 8; ++b) {
        Buttons().BtnSet1Click(b);
        Buttons().kwMenuEx1ItemsClick(uint32_t(1102 + b - 3));
    }
    ASSERT_EQ(m_dialogs.size(), 1u);
    Buttons().BtnSet1Click(8);
    Buttons().kwMenuEx1ItemsClick(1107);
    ASSERT_EQ(m_dialogs.size(), 2u);
    EXPECT_EQ(m_dialogs[1].title, QStringLiteral("WARNING!"));
    EXPECT_EQ(m_dialogs[1].text, QStringLiteral("YOU CAN ASSIGN MACROS TO BUTTONS SHALL NOT EXCEED 5 ."));
    EXPECT_NE(Config().ButtonFuncInfo[8].FunctionType, FUNCTION_TYPE_MACRO);
    EXPECT_EQ(CountMacroButtons(Config()), 5);
}

TEST_F(MainConfigPagesTest, MenuChoiceForAProfileNoLongerCurrentIsDropped)
{
    Form();
    ASSERT_EQ(Dm().FProfileIndex, 2);
    const TMouseProfileInfo p2 = Stored(2);
    Buttons().BtnSet1Click(5);
    // The monitor switches the profile while the menu is open.
    ASSERT_TRUE(Profiles().BtnProfile1Click(0));
    Buttons().kwMenuEx1ItemsClick(16);
    EXPECT_NE(Config().ButtonFuncInfo[5].MenuID, 16);
    EXPECT_NE(Stored(0).ConfigInfo.ButtonFuncInfo[5].MenuID, 16);
    EXPECT_EQ(Stored(2).ConfigInfo.ButtonFuncInfo[5].MenuID, p2.ConfigInfo.ButtonFuncInfo[5].MenuID);
}

TEST_F(MainConfigPagesTest, DPIBarsLinkAndLevels)
{
    THKT75CFGMAIN &form = Form();
    TMainConfigDPI::TLevelControls &L2 = DPI().Levels[1];
    ASSERT_TRUE(L2.CheckCPI->isChecked()) << "the factory levels are linked";
    L2.TrackX->setValue(3200);
    EXPECT_EQ(L2.TrackY->value(), 3200);
    EXPECT_EQ(Config().CPIState[1].X, 3200);
    EXPECT_EQ(Config().CPIState[1].Y, 3200);
    EXPECT_EQ(L2.TxtYNum->text(), QStringLiteral("3200"));
    EXPECT_TRUE(form.State().SettingsChanged);
    EXPECT_EQ(Stored(Dm().FProfileIndex).ConfigInfo.CPIState[1].Y, 3200);

    QTest::mouseClick(L2.CheckCPI, Qt::LeftButton);
    ASSERT_FALSE(L2.CheckCPI->isChecked());
    EXPECT_EQ(Config().UseDiffentXY[1], 0);
    L2.TrackX->setValue(800);
    EXPECT_EQ(Config().CPIState[1].X, 800);
    EXPECT_EQ(Config().CPIState[1].Y, 3200);

    // Levels 1..5 on, current level 3: DPI1 off makes level 2 current, on again level 1.
    Config().CurrentCPIIndex = 2;
    DPI().ShowCPILevelSelection();
    QTest::mouseClick(DPI().Levels[0].BtnCPI, Qt::LeftButton);
    EXPECT_EQ(Config().CPIState[0].Enabled, 0);
    EXPECT_EQ(Config().CurrentCPIIndex, 1);
    EXPECT_TRUE(DPI().Levels[1].DPIL->isChecked());
    EXPECT_FALSE(DPI().Levels[0].TrackX->isEnabled());
    EXPECT_FALSE(DPI().Levels[0].TxtXNum->isEnabled());
    EXPECT_TRUE(DPI().Levels[0].TxtYNum->isEnabled()) << "the Y value text is not greyed";
    QTest::mouseClick(DPI().Levels[0].BtnCPI, Qt::LeftButton);
    EXPECT_EQ(Config().CurrentCPIIndex, 0);

    // Only level 4 on, level 1 (off) still current: DPI4 stays on and the
    // refused click makes it current, on the page and in the store.
    for (int i = 0; i < 5; ++i)
        Config().CPIState[i].Enabled = i == 3;
    form.RefreshPages();
    ASSERT_EQ(Config().CurrentCPIIndex, 0);
    QTest::mouseClick(DPI().Levels[3].BtnCPI, Qt::LeftButton);
    EXPECT_EQ(Config().CPIState[3].Enabled, 1);
    EXPECT_FALSE(DPI().Levels[3].BtnCPI->isChecked());
    EXPECT_EQ(Config().CurrentCPIIndex, 3);
    EXPECT_TRUE(DPI().Levels[3].DPIL->isChecked());
    EXPECT_FALSE(DPI().Levels[0].DPIL->isChecked());
    EXPECT_EQ(Stored(Dm().FProfileIndex).ConfigInfo.CurrentCPIIndex, 3);
}

TEST_F(MainConfigPagesTest, LevelChoiceIsWrittenAtOnceAndKeptInTheProfile)
{
    MonitorPeer monitor(Runtime());
    THKT75CFGMAIN &form = Form();
    const int p = Dm().FProfileIndex;
    form.State().SettingsChanged = false;
    const auto refreshes = m_mouse->Live().refreshCount;
    QTest::mouseClick(DPI().Levels[1].DPIL, Qt::LeftButton);
    ASSERT_TRUE(DPI().Levels[1].DPIL->isChecked());
    EXPECT_EQ(Mem(hkt::sim::DpiTableAddr(p) + 1, 1)[0], 1);
    EXPECT_EQ(m_mouse->Live().refreshCount, refreshes + 1);
    EXPECT_EQ(m_mouse->Live().lastRefresh[0], 1);
    EXPECT_EQ(m_mouse->Live().lastRefresh[1], 0);
    ASSERT_EQ(monitor.Count(WM_PROFILE_CHANGED), 1);
    EXPECT_EQ(monitor.Last(WM_PROFILE_CHANGED)->w, 1);
    EXPECT_EQ(monitor.Last(WM_PROFILE_CHANGED)->l, p);
    EXPECT_FALSE(form.State().SettingsChanged);
    // In the profile's store too: a switch away and back shows level 2.
    EXPECT_EQ(Stored(p).ConfigInfo.CurrentCPIIndex, 1);
    ASSERT_TRUE(Profiles().BtnProfile1Click(0));
    ASSERT_TRUE(Profiles().BtnProfile1Click(p));
    EXPECT_TRUE(DPI().Levels[1].DPIL->isChecked());
}

TEST_F(MainConfigPagesTest, ColourPreviewIsSentAndKept)
{
    THKT75CFGMAIN &form = Form();
    const int p = Dm().FProfileIndex;
    Config().LEDConfig.BRIGHT_LEVEL = 2;
    Config().LEDConfig.BREATH_SPEED = 3;
    form.State().SettingsChanged = false;
    m_mouse->ClearLog();
    QTest::mouseClick(Light().Squares[1], Qt::LeftButton); // FFFE0000
    const auto live = m_mouse->Live();
    ASSERT_TRUE(live.liveLightSet);
    const uint8_t want[5] = {0x01, 0xFF, 0xFF, 2, 3};
    EXPECT_EQ(std::memcmp(live.liveLight, want, 5), 0);
    int commands = 0;
    for (const auto &e : m_mouse->Log())
        commands += e.kind == hkt::sim::LogKind::SetFeature && e.bytes.size() > 1 && e.bytes[1] == 4;
    EXPECT_EQ(commands, 2) << "the square and the colour box each preview";
    EXPECT_EQ(Light().ShownColour(), 0xFFFE0000u);
    EXPECT_TRUE(form.State().SettingsChanged);
    EXPECT_EQ(Stored(p).ConfigInfo.LEDConfig.R, 0xFE);
    // A profile switch keeps the colour the mouse shows.
    ASSERT_TRUE(Profiles().BtnProfile1Click(0));
    ASSERT_TRUE(Profiles().BtnProfile1Click(p));
    EXPECT_EQ(Config().LEDConfig.R, 0xFE);
    EXPECT_EQ(Config().LEDConfig.G, 0);

    // Breathing: stored, no traffic.
    m_mouse->ClearLog();
    QTest::mouseClick(Light().RadioSP[2], Qt::LeftButton);
    EXPECT_EQ(Config().LEDConfig.BREATH_SPEED, 3);
    QTest::mouseClick(Light().RadioSP[1], Qt::LeftButton);
    EXPECT_EQ(Config().LEDConfig.BREATH_SPEED, 6);
    EXPECT_TRUE(m_mouse->Log().empty());
}

TEST_F(MainConfigPagesTest, ProfileSwitchWritesTheMouseAndTellsTheMonitor)
{
    MonitorPeer monitor(Runtime());
    THKT75CFGMAIN &form = Form();
    m_mouse->ClearLog();
    QTest::mouseClick(form.BtnProfile[1], Qt::LeftButton);
    EXPECT_EQ(Dm().FProfileIndex, 1);
    EXPECT_EQ(Mem(0x43, 1)[0], 1);
    EXPECT_EQ(m_mouse->Live().lastRefresh[0], 1);
    EXPECT_EQ(m_mouse->Live().lastRefresh[1], 1);
    ASSERT_TRUE(monitor.Last(WM_PROFILE_CHANGED));
    EXPECT_EQ(monitor.Last(WM_PROFILE_CHANGED)->l, 1);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(form.BtnProfile[size_t(i)]->isChecked(), i == 1);
    // The pages show the new profile.
    EXPECT_TRUE(DPI().Levels[size_t(Config().CurrentCPIIndex)].DPIL->isChecked());
    EXPECT_EQ(Buttons().BtnSet[3]->text(), ButtonFunctionText(Config().ButtonFuncInfo[3], ShownMenuIDOf(Config().ButtonFuncInfo[3])));
    EXPECT_EQ(Buttons().BtnSet[3]->text(), QStringLiteral("CLOSE TAB"));
    // The all-settings record names it.
    TDM other(TDMRoots{m_store, ProgramFolder(), Documents()});
    EXPECT_EQ(other.FAllProfileSettingInfo.CurrentGame, 1);

    // No profile outside 0..4.
    m_mouse->ClearLog();
    const auto messages = monitor.got.size();
    EXPECT_FALSE(Profiles().BtnProfile1Click(5));
    EXPECT_FALSE(Profiles().BtnProfile1Click(-1));
    EXPECT_TRUE(m_mouse->Log().empty());
    EXPECT_EQ(monitor.got.size(), messages);
    EXPECT_EQ(Dm().FProfileIndex, 1);
}

TEST_F(MainConfigPagesTest, RestoreBringsBackTheFactoryProfile)
{
    THKT75CFGMAIN &form = Form();
    const int p = Dm().FProfileIndex;
    Buttons().BtnSet1Click(5);
    Buttons().kwMenuEx1ItemsClick(16);
    DPI().Levels[0].TrackX->setValue(5000);

    // CANCEL changes nothing.
    form.State().SettingsChanged = false;
    m_dialogAnswer = 2;
    QTest::mouseClick(form.BtnRestor, Qt::LeftButton);
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].title, QStringLiteral("RESET THIS PROFILE"));
    EXPECT_EQ(Config().ButtonFuncInfo[5].MenuID, 16);
    EXPECT_FALSE(form.State().SettingsChanged);

    m_dialogAnswer = 1;
    m_mouse->ClearLog();
    QTest::mouseClick(form.BtnRestor, Qt::LeftButton);
    auto factory = std::make_unique<TMouseProfileInfo>(Stored(p));
    ASSERT_TRUE(RestoreProfileDefaults(*factory, p));
    // What the window shows is the factory profile again.
    EXPECT_EQ(Config().ButtonFuncInfo[5].MenuID, factory->ConfigInfo.ButtonFuncInfo[5].MenuID);
    EXPECT_EQ(Buttons().BtnSet[5]->text(), QStringLiteral("REPORT RATE -"));
    EXPECT_EQ(DPI().Levels[0].TrackX->value(), DEFAULT_CPI_LEVELS[0]);
    EXPECT_TRUE(form.State().SettingsChanged);
    // Its DPI table is in the mouse already; nothing else was sent.
    TDeviceCPITable table{};
    EncodeCPITable(*factory, table);
    EXPECT_EQ(Mem(hkt::sim::DpiTableAddr(p), 42), std::vector<uint8_t>(reinterpret_cast<uint8_t *>(&table),
                                                                      reinterpret_cast<uint8_t *>(&table) + 42));
    EXPECT_EQ(m_mouse->Live().refreshCount, 0u);
    // And the next APPLY sends the factory button.
    ASSERT_TRUE(Apply());
    EXPECT_EQ(MapBytes(p, 5), (std::array<uint8_t, 4>{24, 0, 0, 0}));
}

TEST_F(MainConfigPagesTest, ResetAllEndsOnTheFifthProfile)
{
    MonitorPeer monitor(Runtime());
    THKT75CFGMAIN &form = Form();
    Buttons().BtnSet1Click(5);
    Buttons().kwMenuEx1ItemsClick(16);
    for (int p = 0; p < PROFILE_COUNT; ++p)
        Dm().SetProfileChanged(p, false);
    m_dialogAnswer = 1;
    QTest::mouseClick(form.BtnRestoreall, Qt::LeftButton);
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].title, QStringLiteral("RESET ALL PROFILES"));
    EXPECT_EQ(Dm().FProfileIndex, 4);
    EXPECT_TRUE(form.BtnProfile[4]->isChecked());
    EXPECT_EQ(Mem(0x43, 1)[0], 4);
    ASSERT_TRUE(monitor.Last(WM_PROFILE_CHANGED));
    EXPECT_EQ(monitor.Last(WM_PROFILE_CHANGED)->l, 4);
    for (int p = 0; p < PROFILE_COUNT; ++p)
        EXPECT_TRUE(Dm().IsProfileChanged(p)) << p;
    EXPECT_EQ(Stored(2).ConfigInfo.ButtonFuncInfo[5].MenuID, 1502);
    // The next APPLY writes all five factory button maps.
    m_mouse->ClearLog();
    ASSERT_TRUE(Apply());
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        auto factory = std::make_unique<TMouseProfileInfo>();
        RestoreProfileDefaults(*factory, p);
        factory->ConfigInfo.ButtonCount = 14;
        TDeviceButtonMap map{};
        EncodeButtonMap(*factory, map);
        EXPECT_EQ(Mem(hkt::sim::ButtonMapAddr(p), 57),
                  std::vector<uint8_t>(reinterpret_cast<uint8_t *>(&map), reinterpret_cast<uint8_t *>(&map) + 57))
            << p;
    }
}

TEST_F(MainConfigPagesTest, SaveAsAndLoadFile)
{
    THKT75CFGMAIN &form = Form();
    auto dialogs = std::make_shared<ScriptedFileDialogs>();
    SetProfileFileDialogs(dialogs);
    Light().Rectangle10Click(1); // red, kept in the profile
    const QString file = m_tmp.path() + "/saved.pfd";
    dialogs->answer = file;
    QTest::mouseClick(form.BtnSave, Qt::LeftButton);
    ASSERT_TRUE(QFile::exists(file));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        ASSERT_EQ(bytes.size(), qsizetype(PROFILE_RECORD_SIZE));
        TMouseProfileInfo saved{};
        std::memcpy(&saved, bytes.constData(), sizeof saved);
        EXPECT_EQ(saved.ConfigInfo.LEDConfig.R, 0xFE) << "SAVE AS writes the colour the mouse shows";
    }

    // Change the profile, then load the file back.
    Buttons().BtnSet1Click(5);
    Buttons().kwMenuEx1ItemsClick(16);
    QTest::mouseClick(form.BtnLoad, Qt::RightButton); // any mouse button
    EXPECT_EQ(Config().ButtonFuncInfo[5].MenuID, 1502);
    EXPECT_EQ(Buttons().BtnSet[5]->text(), QStringLiteral("REPORT RATE -"));

    // A file of another version is refused with the message.
    QByteArray wrong(int(PROFILE_RECORD_SIZE), 0);
    const int32_t v = 258;
    std::memcpy(wrong.data(), &v, 4);
    QFile w(m_tmp.path() + "/old.pfd");
    ASSERT_TRUE(w.open(QIODevice::WriteOnly));
    w.write(wrong);
    w.close();
    dialogs->answer = w.fileName();
    m_dialogs.clear();
    QTest::mouseClick(form.BtnLoad, Qt::LeftButton);
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].text, QStringLiteral("GAMING MOUSE PROFILE VERSION INCORRECT!"));
    EXPECT_EQ(Config().ButtonFuncInfo[5].MenuID, 1502);

    // A file that is gone by the time it is read (or cannot be read) is no
    // question of versions: the message says it cannot be opened.
    dialogs->answer = m_tmp.path() + "/gone.pfd";
    m_dialogs.clear();
    QTest::mouseClick(form.BtnLoad, Qt::LeftButton);
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].title, QStringLiteral("WARNING"));
    EXPECT_EQ(m_dialogs[0].text, QStringLiteral("THE PROFILE FILE CANNOT BE OPENED!"));
    EXPECT_EQ(Config().ButtonFuncInfo[5].MenuID, 1502);

    // Cancelled: nothing.
    dialogs->answer.reset();
    m_dialogs.clear();
    QTest::mouseClick(form.BtnLoad, Qt::LeftButton);
    EXPECT_TRUE(m_dialogs.empty());
}

TEST_F(MainConfigPagesTest, InformationLayoutFollowsConfigIni)
{
    WriteConfig("[OtherConfig]\nhelppagestyle=1\n");
    THKT75CFGMAIN &form = Form();
    form.show();
    QTest::mouseClick(form.BSBTNINFO, Qt::LeftButton);
    EXPECT_TRUE(form.LayoutInfo->isVisible());
    EXPECT_FALSE(form.LayoutInfoOEM->isVisible());
    WriteConfig("[OtherConfig]\nhelppagestyle=2\n");
    QTest::mouseClick(form.BtnMainConfig, Qt::LeftButton);
    QTest::mouseClick(form.BSBTNINFO, Qt::LeftButton);
    EXPECT_FALSE(form.LayoutInfo->isVisible());
    EXPECT_TRUE(form.LayoutInfoOEM->isVisible());
}

TEST_F(MainConfigPagesTest, HelpOpensFilesAndLinksByLanguage)
{
    ASSERT_NO_FATAL_FAILURE(MakeProgramFile("manual.pdf"));
    WriteConfig("[HelpLinks]\n0804=https://example.com/cn\n0409=manual.pdf\n[HelpFiles]\n0409=gone.pdf\n");
    Form();
    std::vector<QUrl> opened;
    Info().OpenUrl = [&opened](const QUrl &u) {
        opened.push_back(u);
        return true;
    };
    QTest::mouseClick(Info().BSBTNHELPLINK, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(ProgramFolder() + "manual.pdf"));
    Info().BTNHELPClick();
    EXPECT_EQ(opened.size(), 1u);
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].text, QStringLiteral("THE HELP FILE WAS NOT FOUND!"));
    QTest::mouseClick(Info().bsbtnopenwebsite, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1].scheme(), QStringLiteral("https"));
    // Without any entry (the shipped config.ini) nothing reaches the
    // desktop and the user is told that no help is set up, for either list.
    Dm().FOtherConfig.HelpFile.clear();
    Dm().FOtherConfig.HelpLinks.clear();
    m_dialogs.clear();
    Info().BTNHELPClick();
    QTest::mouseClick(Info().BSBTNHELPLINK, Qt::LeftButton);
    EXPECT_EQ(opened.size(), 2u);
    ASSERT_EQ(m_dialogs.size(), 2u);
    for (const DialogCall &d : m_dialogs) {
        EXPECT_EQ(d.title, QStringLiteral("WARNING"));
        EXPECT_EQ(d.text, QStringLiteral("NO HELP IS CONFIGURED!"));
    }
}

// The desktop finds nothing to open an address or a document with: each OPEN
// says so instead of doing nothing.
TEST_F(MainConfigPagesTest, AnOpeningTheDesktopRefusesIsSaid)
{
    ASSERT_NO_FATAL_FAILURE(MakeProgramFile("manual.pdf"));
    WriteConfig("[HelpLinks]\n0409=manual.pdf\n[HelpFiles]\n0409=https://example.com/help\n");
    Form();
    int asked = 0;
    Info().OpenUrl = [&asked](const QUrl &) {
        ++asked;
        return false;
    };
    const char *const browser = "THE PAGE CANNOT BE OPENED: NO WEB BROWSER WAS FOUND!";
    const char *const program = "THE HELP FILE CANNOT BE OPENED: NO PROGRAM WAS FOUND FOR IT!";
    const struct {
        const char *what;
        std::function<void()> open;
        const char *text;
    } cases[] = {
        {"website OPEN", [this] { QTest::mouseClick(Info().bsbtnopenwebsite, Qt::LeftButton); }, browser},
        {"the OEM page's address", [this] { Info().lblwebsiteClick(); }, browser},
        {"help link naming a file", [this] { QTest::mouseClick(Info().BSBTNHELPLINK, Qt::LeftButton); }, program},
        {"help naming an address", [this] { Info().BTNHELPClick(); }, browser},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        m_dialogs.clear();
        const int before = asked;
        c.open();
        EXPECT_EQ(asked, before + 1);
        ASSERT_EQ(m_dialogs.size(), 1u);
        EXPECT_EQ(m_dialogs[0].title, QStringLiteral("WARNING"));
        EXPECT_EQ(m_dialogs[0].text, QString::fromLatin1(c.text));
    }
    // An opening the desktop takes says nothing.
    Info().OpenUrl = [](const QUrl &) { return true; };
    m_dialogs.clear();
    QTest::mouseClick(Info().bsbtnopenwebsite, Qt::LeftButton);
    EXPECT_TRUE(m_dialogs.empty());
}

TEST_F(MainConfigPagesTest, LanguageChoiceReachesTheMonitor)
{
    UseLanguageFile();
    MonitorPeer monitor(Runtime());
    THKT75CFGMAIN &form = Form();
    QComboBox *box = form.PopBoxLanguage;
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->currentIndex(), 0);
    form.State().SettingsChanged = false;
    box->setCurrentIndex(1);
    EXPECT_EQ(form.Language().Lang(), QStringLiteral("0804"));
    EXPECT_EQ(Dm().FAllProfileSettingInfo.CurrentLanguage, 1);
    TDM other(TDMRoots{m_store, ProgramFolder(), Documents()});
    EXPECT_EQ(other.FAllProfileSettingInfo.CurrentLanguage, 1);
    ASSERT_TRUE(monitor.Last(WM_LANGUAGE_CHANGED));
    EXPECT_EQ(monitor.Last(WM_LANGUAGE_CHANGED)->w, 1);
    EXPECT_EQ(monitor.Last(WM_LANGUAGE_CHANGED)->l, 0);
    EXPECT_TRUE(form.State().SettingsChanged);
    EXPECT_EQ(Translate(QStringLiteral("MACRO MANAGER")), QString::fromUtf8("宏管理器"));
    EXPECT_EQ(Buttons().BtnSet[0]->text(), Translate(QStringLiteral("CLICK")));
    EXPECT_NE(Buttons().BtnSet[0]->text(), QStringLiteral("CLICK"));
    // No selection changes nothing.
    const auto sent = monitor.got.size();
    box->setCurrentIndex(-1);
    EXPECT_EQ(Dm().FAllProfileSettingInfo.CurrentLanguage, 1);
    EXPECT_EQ(monitor.got.size(), sent);
    box->setCurrentIndex(0);
    EXPECT_EQ(Buttons().BtnSet[0]->text(), QStringLiteral("CLICK"));
}

TEST_F(MainConfigPagesTest, DialogItemsStoreOnOKAndDropAnAnswerForAnotherProfile)
{
    THKT75CFGMAIN &form = Form();
    int answer = 2;
    Buttons().Dialogs.SingleKey = [&answer](TSINGLEKEYINFO &k) {
        k.nKeyValue1 = 0x41; // A
        k.nKey1Extended = 0;
        return answer;
    };
    const TBUTTONFUNCINFO before = Config().ButtonFuncInfo[5];
    Buttons().BtnSet1Click(5);
    Buttons().kwMenuEx1ItemsClick(6);
    EXPECT_EQ(std::memcmp(&before, &Config().ButtonFuncInfo[5], sizeof before), 0);
    EXPECT_TRUE(form.State().SettingsChanged) << "a cancelled dialog still marks the settings";

    answer = 1;
    Buttons().BtnSet1Click(5);
    Buttons().kwMenuEx1ItemsClick(6);
    EXPECT_EQ(Config().ButtonFuncInfo[5].MenuID, 6);
    EXPECT_EQ(Buttons().BtnSet[5]->text(), QStringLiteral("A"));
    ASSERT_TRUE(Apply());
    EXPECT_EQ(MapBytes(Dm().FProfileIndex, 5), (std::array<uint8_t, 4>{16, 0, 0x04, 0}));

    // The monitor switches the profile while the dialog is open.
    const int p = Dm().FProfileIndex;
    Buttons().Dialogs.SingleKey = [this](TSINGLEKEYINFO &k) {
        k.nKeyValue1 = 0x42;
        EXPECT_TRUE(Profiles().BtnProfile1Click(0));
        return 1;
    };
    const TBUTTONFUNCINFO other = Stored(0).ConfigInfo.ButtonFuncInfo[6];
    Buttons().BtnSet1Click(6);
    Buttons().kwMenuEx1ItemsClick(6);
    EXPECT_EQ(Dm().FProfileIndex, 0);
    EXPECT_EQ(std::memcmp(&other, &Config().ButtonFuncInfo[6], sizeof other), 0);
    EXPECT_NE(Stored(p).ConfigInfo.ButtonFuncInfo[6].SingleKey.nKeyValue1, 0x42);
}

// Pictures of every page with a non-default profile, in English and Chinese,
// and of the function menu open over a button. Written when
// HKT75_PAGE_GRAB_DIR names a folder; always checked to be drawn.
TEST_F(MainConfigPagesTest, PagesAndMenuPictures)
{
    UseLanguageFile();
    QFile::link(QStringLiteral(HKT75_BIN_DIR "/images"), ProgramFolder() + "images");
    THKT75CFGMAIN &form = Form();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // A profile that is not the factory one: other functions, levels, colour.
    Buttons().BtnSet1Click(4);
    Buttons().kwMenuEx1ItemsClick(1102);
    Buttons().BtnSet1Click(6);
    Buttons().kwMenuEx1ItemsClick(802);
    Buttons().BtnSet1Click(7);
    Buttons().kwMenuEx1ItemsClick(1301);
    DPI().Levels[2].TrackX->setValue(5400);
    QTest::mouseClick(DPI().Levels[3].BtnCPI, Qt::LeftButton);
    QTest::mouseClick(DPI().Levels[1].CheckCPI, Qt::LeftButton);
    DPI().Levels[1].TrackY->setValue(2400);
    Light().Rectangle10Click(20);
    QTest::mouseClick(Light().RadioLevel[2], Qt::LeftButton);
    QTest::mouseClick(Light().RadioSP[3], Qt::LeftButton);
    WriteConfig("[OtherConfig]\nhelppagestyle=1\n");

    const QString dir = qEnvironmentVariable("HKT75_PAGE_GRAB_DIR");
    auto save = [&dir](const QImage &img, const QString &name) {
        EXPECT_FALSE(img.isNull());
        if (!dir.isEmpty())
            img.save(QDir(dir).filePath(name));
    };
    StateButton *tabs[] = {form.BtnMainConfig, form.BtnCPI, form.BtnColor, form.BSBTNINFO};
    const char *names[] = {"general", "dpi", "light", "info"};
    for (int lang = 0; lang < 2; ++lang) {
        form.PopBoxLanguage->setCurrentIndex(lang);
        const QString suffix = lang == 0 ? QStringLiteral("en") : QStringLiteral("zh");
        for (int t = 0; t < 4; ++t) {
            QTest::mouseClick(tabs[t], Qt::LeftButton);
            save(form.grab().toImage(), QStringLiteral("page-%1-%2.png").arg(QLatin1String(names[t]), suffix));
        }
        QTest::mouseClick(tabs[0], Qt::LeftButton);
        Buttons().ShowMouseView(1);
        save(form.grab().toImage(), QStringLiteral("page-general-side-%1.png").arg(suffix));
        Buttons().ShowMouseView(0);

        // The menu over button 4, its MACRO sub-menu open.
        TkwMenuEx &menu = form.FunctionMenu();
        // The menu opens at the pointer: over the button, as a user's click has it.
        StateButton *b4 = Buttons().BtnSet[4];
        QCursor::setPos(b4->mapToGlobal(b4->rect().center()));
        QTest::mouseClick(b4, Qt::LeftButton);
        ASSERT_TRUE(menu.IsMenuOpen());
        TkwMenuItemsEx &top = menu.Items();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<TkwMenuBox *>(w); box && box->Collection() == &top)
                QTest::mouseMove(box, menu.Controller().RowRect(top, MENU_ID_MACRO - 1).center().toPoint());
        QRect area = form.frameGeometry();
        for (TkwMenuItemsEx *c : menu.Controller().OpenLevels())
            area |= c->Level()->Geometry;
        QImage img(area.size(), QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::black);
        {
            QPainter painter(&img);
            painter.drawPixmap(form.frameGeometry().topLeft() - area.topLeft(), form.grab());
            for (TkwMenuItemsEx *c : menu.Controller().OpenLevels())
                for (QWidget *w : QApplication::topLevelWidgets())
                    if (auto *box = qobject_cast<TkwMenuBox *>(w); box && box->Collection() == c)
                        painter.drawPixmap(c->Level()->Geometry.topLeft() - area.topLeft(), box->grab());
        }
        save(img, QStringLiteral("menu-%1.png").arg(suffix));
        menu.Controller().CloseMenuTree(menu.Items());
    }
}

TEST_F(MainConfigPagesTest, StoredCountsAndIndexesNeverIndexATable)
{
    UseLanguageFile();
    // A stored language past the file's list and a profile with odd counts.
    Dm().FAllProfileSettingInfo.CurrentLanguage = 200;
    TMOUSECONFIGINFO &cfg = Config();
    cfg.ButtonCount = 5000;
    cfg.CPILevel = 60000;
    cfg.CurrentCPIIndex = 77;
    cfg.ButtonFuncInfo[4].MenuID = 99999;
    cfg.ButtonFuncInfo[5].MenuID = 0;
    cfg.ButtonFuncInfo[5].FunctionIndex = 4000;
    THKT75CFGMAIN &form = Form();
    EXPECT_EQ(form.PopBoxLanguage->currentIndex(), -1);
    EXPECT_TRUE(GlobalImageDataBase().ImageDBPath().endsWith(QStringLiteral("images/0409/")))
        << GlobalImageDataBase().ImageDBPath().toStdString();
    EXPECT_EQ(Buttons().BtnSet[4]->text(), QString());
    EXPECT_EQ(Buttons().BtnSet[5]->text(), QString());
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(DPI().Levels[size_t(i)].DPIL->isChecked()) << "no level is current";
    // A choice on a button with such an entry still works.
    Buttons().BtnSet1Click(5);
    Buttons().kwMenuEx1ItemsClick(2);
    EXPECT_EQ(Config().ButtonFuncInfo[5].MenuID, 2);
    EXPECT_EQ(Buttons().BtnSet[5]->text(), QStringLiteral("RIGHT CLICK"));
}

} // namespace

// A macro of 50 characters on a function button: its caption keeps its
// beginning and is cut at its end with an ellipsis; the hint has it whole.
TEST_F(MainConfigPagesTest, ALongMacroNameIsCutAtItsEndOnTheButtonAndWholeInItsHint)
{
    // The skin's pictures, for the screenshot.
    QFile::link(QStringLiteral(HKT75_BIN_DIR "/images"), ProgramFolder() + "images");
    THKT75CFGMAIN &form = Form();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QString longName = QStringLiteral("A long macro name to check clipping at both ends!!");
    ASSERT_EQ(longName.size(), 50);
    ASSERT_EQ(form.MacroSet().CreateNewMacro(longName), 1);
    const int m = form.MacroSet().CurrentMacroClass()->IndexOfMacroName(longName);
    ASSERT_GE(m, 0);
    Buttons().BuildMacroSubmenu();
    Buttons().BtnSet1Click(4);
    Buttons().kwMenuEx1ItemsClick(uint32_t(1102 + m));
    ASSERT_EQ(Config().ButtonFuncInfo[4].FunctionType, FUNCTION_TYPE_MACRO);

    StateButton *b = Buttons().BtnSet[4];
    const QString caption = b->shownText();
    ASSERT_TRUE(caption.contains(longName)) << caption.toStdString();
    const QString drawn = b->drawnText();
    ASSERT_TRUE(drawn.endsWith(QChar(0x2026))) << drawn.toStdString();
    EXPECT_TRUE(caption.startsWith(drawn.chopped(1))) << drawn.toStdString();
    EXPECT_TRUE(drawn.startsWith(Translate(QStringLiteral("MACRO")) + QStringLiteral(" #"))) << drawn.toStdString();
    EXPECT_LE(QFontMetrics(b->font()).horizontalAdvance(drawn), b->width());
    EXPECT_TRUE(b->toolTip().contains(longName)) << b->toolTip().toStdString();
    // A caption that fits is drawn as it is.
    EXPECT_EQ(Buttons().BtnSet[0]->drawnText(), Buttons().BtnSet[0]->shownText());

    const QString dir = qEnvironmentVariable("HKT75_PAGE_GRAB_DIR");
    if (!dir.isEmpty())
        form.grab().save(QDir(dir).filePath(QStringLiteral("page-general-long-macro.png")));
}

// The factory profiles store a text for some of their buttons (FAST FORWARD,
// CLOSE TAB ...); the window shows it translated, so each has a translation
// in every language but the first: no English on a Chinese screen the user
// did not type.
TEST(FactoryButtonTexts, EveryTextAFactoryProfileStoresIsTranslated)
{
    TkwLanguage lang(nullptr, QStringLiteral(HKT75_BIN_DIR));
    ASSERT_GE(lang.Resources().size(), 3);
    QStringList texts;
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        auto info = std::make_unique<TMouseProfileInfo>();
        ASSERT_TRUE(RestoreProfileDefaults(*info, p));
        for (const TBUTTONFUNCINFO &b : info->ConfigInfo.ButtonFuncInfo)
            for (const QString &t : {FieldText(b.SingleKey.SingleKeyText), FieldText(b.ComboKey.ComboKeyText)})
                if (!t.isEmpty() && !texts.contains(t))
                    texts.append(t);
    }
    ASSERT_GE(texts.size(), 7);
    for (qsizetype l = 1; l < lang.Resources().size(); ++l) {
        lang.SetLang(lang.Resources()[l].ID);
        for (const QString &t : texts)
            EXPECT_NE(Translate(t), t) << lang.Lang().toStdString() << " " << t.toStdString();
    }
    lang.SetLang(QStringLiteral("en"));
}
