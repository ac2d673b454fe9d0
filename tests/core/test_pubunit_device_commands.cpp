// The device commands driven through TkwHIDData and the transport into the
// simulated mouse (strict: any host mistake fails the test), checked against
// wire bytes and memory images worked out by hand.
#include "core/FactoryDefaults.h"
#include "support/ReportBytes.h"
#include "core/pubunit_device_commands.h"
#include "sim/InProcessHidBackend.h"
#include "sim/VirtualMouse.h"
#include "platform/Paths.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

using hkt::sim::LogKind;
using hkt::sim::VirtualMouse;

namespace {

using hkt::test::Bytes;
using hkt::test::Report;

class Commands : public ::testing::Test {
protected:
    void SetUp() override
    {
        mouse_ = std::make_shared<VirtualMouse>();
        mouse_->SetStrict(true);
        HIDUsageAndPage = USAGE_AND_PAGE{1, 0xFFA0};
        hid_ = std::make_unique<TkwHIDData>(nullptr, hkt::sim::MakeInProcessHidBackend(mouse_));
        hid_->GetHIDDeviceList().clear(); // whatever config.ini beside the tests lists
    }
    void TearDown() override
    {
        for (const auto &v : mouse_->Violations())
            ADD_FAILURE() << "host mistake: " << v.what;
    }
    // Every report of one kind in the log, in order.
    std::vector<Bytes> Reports(LogKind kind) const
    {
        std::vector<Bytes> out;
        for (const auto &e : mouse_->Log())
            if (e.kind == kind)
                out.push_back(e.bytes);
        return out;
    }

    // The factory profile 1 written as APPLY writes a changed profile 0
    // (count 14, identity reorder), with the macro area when given; returns
    // the DPI level read back. Every step must succeed.
    int ApplyFactoryProfileOne(const TDeviceMacroArea *area)
    {
        auto p = std::make_unique<TMouseProfileInfo>();
        EXPECT_TRUE(RestoreProfileDefaults(*p, 0));
        p->ConfigInfo.ButtonCount = 14;
        const int order[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
        ReorderButtons(*p, order);
        TDeviceButtonMap map;
        TDeviceCPITable table;
        TDeviceLEDBlock light;
        EncodeButtonMap(*p, map);
        EncodeCPITable(*p, table);
        EncodeLEDBlock(p->ConfigInfo.LEDConfig, light);
        int index = 0;
        EXPECT_EQ(SendWriteStateCommand(*hid_, 0), 0u);
        EXPECT_EQ(ReadCurrentCPIIndex(*hid_, index), 0u);
        EXPECT_EQ(WriteButtonMap(*hid_, map, ButtonMapAddress(0)), 0u);
        EXPECT_EQ(WriteLEDConfig(*hid_, light, LEDConfigAddress(0)), 0u);
        EXPECT_EQ(WriteCPITable(*hid_, table, CPITableAddress(0)), 0u);
        EXPECT_EQ(WriteReportRate(*hid_, GetReportRateCode(*p), ReportRateAddress(0)), 0u);
        if (area) {
            EXPECT_EQ(WriteMacroArea(*hid_, *area, MACRO_AREA_BASE), 0u);
        }
        EXPECT_EQ(WriteActiveProfile(*hid_, 0, ACTIVE_PROFILE_ADDRESS), 0u);
        EXPECT_EQ(SendWriteStateCommand(*hid_, 1), 0u);
        EXPECT_EQ(SendRefreshCommand(*hid_, 1, 0), 0u);
        return index;
    }

    std::shared_ptr<VirtualMouse> mouse_;
    std::unique_ptr<TkwHIDData> hid_;
};

} // namespace

TEST_F(Commands, WriteActiveProfileIsOneShortReport)
{
    EXPECT_EQ(WriteActiveProfile(*hid_, 2, ACTIVE_PROFILE_ADDRESS), 0u);
    const auto sets = Reports(LogKind::SetFeature);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0], Report({0x02, 0x02, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x02}, 16));
    EXPECT_EQ(mouse_->Dump(0x43, 1), Bytes{2});
}

TEST_F(Commands, ButtonMapAndDpiTableGoInTheirReports)
{
    TDeviceButtonMap map;
    for (int i = 0; i < 57; ++i)
        reinterpret_cast<std::uint8_t *>(&map)[i] = static_cast<std::uint8_t>(0x30 + i);
    TDeviceCPITable table;
    for (int i = 0; i < 42; ++i)
        reinterpret_cast<std::uint8_t *>(&table)[i] = static_cast<std::uint8_t>(0x80 + i);
    table.CurrentCPIIndex = 1;
    EXPECT_EQ(WriteButtonMap(*hid_, map, ButtonMapAddress(1)), 0u);
    EXPECT_EQ(WriteCPITable(*hid_, table, CPITableAddress(4)), 0u);
    const auto sets = Reports(LogKind::SetFeature);
    ASSERT_EQ(sets.size(), 2u);
    Bytes m = Report({0x04, 0x02, 0x90, 0x01, 0x39, 0x00, 0xFA, 0xFA}, 1024);
    for (int i = 0; i < 57; ++i)
        m[8 + i] = static_cast<std::uint8_t>(0x30 + i);
    EXPECT_EQ(sets[0], m);
    ASSERT_EQ(sets[1].size(), 64u);
    EXPECT_EQ(Bytes(sets[1].begin(), sets[1].begin() + 8), (Bytes{0x03, 0x02, 0x4F, 0x04, 0x2A, 0x00, 0xFA, 0xFA}));
    EXPECT_EQ(Bytes(sets[1].begin() + 50, sets[1].end()), Bytes(14, 0));
    EXPECT_EQ(mouse_->Dump(0x190, 57), Bytes(m.begin() + 8, m.begin() + 65));
    // And the table comes back by a read.
    TDeviceCPITable back{};
    EXPECT_EQ(ReadCPITable(*hid_, back, CPITableAddress(4)), 0u);
    EXPECT_EQ(std::memcmp(&back, &table, sizeof table), 0);
}

TEST_F(Commands, ShortCommandsTravelInReportTwo)
{
    EXPECT_EQ(SendRefreshCommand(*hid_, 1, 3), 0u);
    TDeviceLEDBlock light{};
    EncodeLEDBlock(TLEDCONFIG{255, 255, 0, 2, 3, 9}, light);
    EXPECT_EQ(SendLEDCommand(*hid_, light), 0u);
    EXPECT_EQ(SendSensorLiftCommand(*hid_, 5), 0u);
    EXPECT_EQ(SendWriteStateCommand(*hid_, 1), 0u);
    const auto sets = Reports(LogKind::SetFeature);
    ASSERT_EQ(sets.size(), 4u);
    EXPECT_EQ(sets[0], Report({0x02, 0x01, 0x01, 0x03}, 16));
    EXPECT_EQ(sets[1], Report({0x02, 0x04, 0x00, 0x00, 0xFF, 0x02, 0x03}, 16)); // the sixth byte stays home
    EXPECT_EQ(sets[2], Report({0x02, 0x05, 0x05}, 16));
    EXPECT_EQ(sets[3], Report({0x02, 0x06, 0x01}, 16));
}

TEST_F(Commands, ReadCurrentCPIIndexReadsProfileThenItsTable)
{
    const std::uint8_t profile = 3, level = 2;
    mouse_->Poke(0x43, std::span(&profile, 1));
    mouse_->Poke(3 * 256 + 0x50, std::span(&level, 1));
    int index = 0;
    EXPECT_EQ(ReadCurrentCPIIndex(*hid_, index), 0u);
    EXPECT_EQ(index, 2);
    const auto sets = Reports(LogKind::SetFeature);
    const auto gets = Reports(LogKind::GetFeature);
    ASSERT_EQ(sets.size(), 2u);
    ASSERT_EQ(gets.size(), 2u);
    EXPECT_EQ(sets[0], Report({0x02, 0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA}, 16));
    EXPECT_EQ(sets[1], Report({0x02, 0x03, 0x4F, 0x03, 0x2A, 0x00, 0xFA, 0xFA}, 16));
    EXPECT_EQ(gets[0].size(), 16u);
    EXPECT_EQ(gets[1].size(), 64u);
    EXPECT_EQ(gets[1][9], 2);
}

TEST_F(Commands, ReadsOfTwoProgramsAtOnceEachGetTheirOwnAnswer)
{
    // The window and the monitor each read the mouse through a component of
    // their own (here two threads, each as one program): the mouse answers
    // the last request it got, so a request between another's request and
    // answer would give both the wrong bytes (strict mode: a host mistake).
    QTemporaryDir runtime;
    hkt::platform::SetRuntimeFolder(runtime.path());
    const std::uint8_t profile = 3, level = 2;
    mouse_->Poke(0x43, std::span(&profile, 1));
    mouse_->Poke(3 * 256 + 0x50, std::span(&level, 1));
    mouse_->SetLogCapacity(0);
    TkwHIDData other(nullptr, hkt::sim::MakeInProcessHidBackend(mouse_));
    other.GetHIDDeviceList().clear();
    constexpr int kReads = 1500;
    int wrongLevels = 0;
    std::thread monitor([&] {
        for (int i = 0; i < kReads; ++i) {
            int index = -1;
            if (ReadProfileCPIIndex(other, 3, index) != 0 || index != 2)
                ++wrongLevels;
        }
    });
    int wrongProfiles = 0;
    for (int i = 0; i < kReads; ++i) {
        std::uint8_t active = 0xFF;
        if (ReadActiveProfile(*hid_, active, ACTIVE_PROFILE_ADDRESS) != 0 || active != 3)
            ++wrongProfiles;
    }
    monitor.join();
    hkt::platform::SetRuntimeFolder(std::nullopt);
    EXPECT_EQ(wrongProfiles, 0);
    EXPECT_EQ(wrongLevels, 0);
}

TEST_F(Commands, ReadBackFailuresAreNeverSuccess)
{
    struct Case { const char *name; std::uint8_t profile, level; std::uint32_t succeeding; std::uint32_t expect; };
    const Case cases[] = {
        {"first request fails", 0, 1, 0, 31},
        {"first answer fails", 0, 1, 1, 31},
        {"second request fails", 0, 1, 2, 31},
        {"second answer fails", 0, 1, 3, 31},
        {"active profile 7", 7, 1, 99, DEVICE_ERROR_INVALID_DATA},
        {"level 9", 0, 9, 99, DEVICE_ERROR_INVALID_DATA},
    };
    for (const Case &c : cases) {
        mouse_->Poke(0x43, std::span(&c.profile, 1));
        mouse_->Poke(0x50, std::span(&c.level, 1));
        mouse_->FailAfter(c.succeeding, c.succeeding == 99 ? 0 : 1);
        mouse_->ClearLog();
        int index = 77;
        EXPECT_EQ(ReadCurrentCPIIndex(*hid_, index), c.expect) << c.name;
        EXPECT_EQ(index, 77) << c.name;
        if (c.profile == 7) { // no read of a table that does not exist
            EXPECT_EQ(Reports(LogKind::SetFeature).size(), 1u);
        }
    }
    mouse_->ClearViolations(); // the poked bytes are the mouse's doing, not the host's
    int index = 77;
    EXPECT_EQ(ReadProfileCPIIndex(*hid_, 5, index), 87u);
    EXPECT_EQ(index, 77);
}

TEST_F(Commands, MacroAreaWritesUsedSlotsAndReportsTheFirstFailure)
{
    auto area = std::make_unique<TDeviceMacroArea>();
    std::memset(area.get(), 0, sizeof *area);
    area->Lengths[0] = 6;
    area->Lengths[2] = 3;
    const Bytes slot0 = {0x84, 0x04, 0x00, 0x07, 0x01, 0x00};
    std::copy(slot0.begin(), slot0.end(), area->Slots[0]);
    area->Slots[2][0] = 0x07;
    area->Slots[2][1] = 0x02;
    EXPECT_EQ(WriteMacroArea(*hid_, *area, MACRO_AREA_BASE), 0u);
    auto sets = Reports(LogKind::SetFeature);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0], Report({0x02, 0x02, 0x00, 0x05, 0x06, 0x00, 0xFA, 0xFA, 0x84, 0x04, 0x00, 0x07, 0x01}, 16));
    EXPECT_EQ(sets[1], Report({0x02, 0x02, 0x90, 0x06, 0x03, 0x00, 0xFA, 0xFA, 0x07, 0x02}, 16));

    // The first write fails, the later ones still go out, the failure is the result.
    area->Lengths[5] = 3;
    mouse_->ClearLog();
    mouse_->FailAfter(0);
    EXPECT_EQ(WriteMacroArea(*hid_, *area, MACRO_AREA_BASE), 31u);
    EXPECT_EQ(Reports(LogKind::SetFeature).size(), 3u);
    EXPECT_EQ(mouse_->Dump(0x500 + 5 * 200, 1), Bytes{0});
    // A length past the slot is refused for that slot alone.
    area->Lengths[0] = 181;
    mouse_->ClearLog();
    EXPECT_EQ(WriteMacroArea(*hid_, *area, MACRO_AREA_BASE), 87u);
    EXPECT_EQ(Reports(LogKind::SetFeature).size(), 2u);
}

TEST_F(Commands, BoundsAndAbsentMouse)
{
    const std::uint8_t b = 1;
    EXPECT_EQ(WriteDeviceMemory(*hid_, &b, 0, 0x43), 0u);
    std::vector<std::uint8_t> big(2049, 0);
    EXPECT_EQ(WriteDeviceMemory(*hid_, big.data(), 2049, 0x500), 87u);
    EXPECT_EQ(WriteDeviceMemory(*hid_, big.data(), 2, 0xFFFF), 87u);
    EXPECT_TRUE(mouse_->Log().empty());
    mouse_->Unplug();
    EXPECT_EQ(WriteActiveProfile(*hid_, 1, ACTIVE_PROFILE_ADDRESS), 1167u);
    std::uint8_t v = 9;
    EXPECT_EQ(ReadActiveProfile(*hid_, v, ACTIVE_PROFILE_ADDRESS), 1167u);
    EXPECT_EQ(v, 9);
}

// Report choice by size at every boundary, as the mouse itself judges it:
// the simulated mouse checks each report against its own size table.
TEST_F(Commands, WritesOfEverySizeUseTheSmallestReport)
{
    struct Case { std::uint32_t len; std::uint8_t id; std::size_t reportLen; };
    const Case cases[] = {{8, 2, 16},       {9, 3, 64},       {56, 3, 64},      {57, 4, 1024},
                          {1016, 4, 1024},  {1017, 5, 2048},  {2040, 5, 2048},  {2041, 6, 4096},
                          {2048, 6, 4096}};
    std::vector<std::uint8_t> data(2048);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + 1);
    for (const Case &c : cases) {
        mouse_->ClearLog();
        mouse_->ClearViolations();
        EXPECT_EQ(WriteDeviceMemory(*hid_, data.data(), c.len, 0x2000), 0u) << c.len;
        const auto sets = Reports(LogKind::SetFeature);
        ASSERT_EQ(sets.size(), 1u) << c.len;
        EXPECT_EQ(sets[0][0], c.id) << c.len;
        EXPECT_EQ(sets[0].size(), c.reportLen) << c.len;
        EXPECT_EQ(mouse_->Dump(0x2000, c.len), Bytes(data.begin(), data.begin() + c.len)) << c.len;
        // The only mistake the mouse may see is the address, which lies
        // outside its map on purpose so that no image is overwritten.
        for (const auto &v : mouse_->Violations())
            EXPECT_NE(v.what.find("outside the memory map"), std::string::npos) << v.what;
    }
    mouse_->ClearViolations();
    // Reads: 1 byte answers in report 2, 42 bytes in report 3; above 2040
    // bytes the answer would not fit the command record and is refused.
    std::uint8_t one = 0;
    EXPECT_EQ(ReadDeviceMemory(*hid_, &one, 1, 0x43), 0u);
    std::vector<std::uint8_t> big(2041, 0xEE);
    mouse_->ClearLog();
    EXPECT_EQ(ReadDeviceMemory(*hid_, big.data(), 2041, 0x2000), 87u);
    EXPECT_TRUE(mouse_->Log().empty());
    EXPECT_EQ(big[0], 0xEE);
}

// The factory profile 1 as APPLY writes it, compared in the mouse's memory
// with images worked out by hand (not by the encoders).
TEST_F(Commands, FactoryProfileOneLandsByteForByte)
{
    ApplyFactoryProfileOne(nullptr);

    EXPECT_EQ(mouse_->Dump(0x90, 57),
              (Bytes{0x0E, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x0E, 0x00,
                     0xE2, 0x00, 0x0E, 0x00, 0xE9, 0x00, 0x0E, 0x00, 0xEA, 0x00, 0x10, 0x00, 0x4F, 0x00, 0x10,
                     0x00, 0x50, 0x00, 0x0E, 0x00, 0xB5, 0x00, 0x0E, 0x00, 0xB6, 0x00, 0x0E, 0x00, 0xCD, 0x00,
                     0x0F, 0x04, 0x3D, 0x00, 0x0F, 0x08, 0x07, 0x00, 0x0D, 0x00, 0x00, 0x00}));
    EXPECT_EQ(mouse_->Dump(0x4F, 42),
              (Bytes{0x05, 0x00, 0x01, 0x14, 0x00, 0x14, 0x00, 0x00, 0x00, 0x00, 0x01, 0x28, 0x00, 0x28,
                     0x00, 0x01, 0x00, 0x00, 0x01, 0x50, 0x00, 0x50, 0x00, 0x03, 0x00, 0x00, 0x01, 0xA4,
                     0x00, 0xA4, 0x00, 0x07, 0x00, 0x00, 0x01, 0x48, 0x01, 0x48, 0x01, 0x0F, 0x00, 0x00}));
    EXPECT_EQ(mouse_->Dump(0xF1, 6), (Bytes{0x00, 0x00, 0xFF, 0x02, 0x03, 0x00}));
    EXPECT_EQ(mouse_->Dump(0x48, 1), Bytes{0x02});
    // The wire form of the light block and the rate byte.
    const auto sets = Reports(LogKind::SetFeature);
    ASSERT_EQ(sets.size(), 10u);
    EXPECT_EQ(sets[4], Report({0x02, 0x02, 0xF1, 0x00, 0x06, 0x00, 0xFA, 0xFA, 0x00, 0x00, 0xFF, 0x02, 0x03}, 16));
    EXPECT_EQ(sets[6], Report({0x02, 0x02, 0x48, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x02}, 16));
    const auto live = mouse_->Live();
    EXPECT_EQ(live.writeState, 1);
    EXPECT_EQ(live.refreshCount, 1u);
}

// A whole APPLY of the factory profile 1 with a macro area of two macros,
// every report compared with a literal vector worked out by hand: report ID,
// header with its dropped last byte, payload, zero padding to the report's
// length. The macros: slot 0 is left button down, 50 ms, left button up,
// repeating while held (loop count 5 is then not sent); slot 1 is the
// extended right arrow down, 300 ms, up, three times.
TEST_F(Commands, ApplyOfFactoryProfileAndTwoMacrosReportByReport)
{
    auto list = std::make_unique<TMACROKEYINFOLIST>();
    list->nMacroInfoCount = 2;
    TMACROKEYINFO &click = list->MacroInfos[0];
    click.MacroListCount = 3;
    click.MacroList[0] = TMACROKEY{1, 1, 1, 0};
    click.MacroList[1] = TMACROKEY{6, 0, 50, 0};
    click.MacroList[2] = TMACROKEY{1, 0, 1, 0};
    click.nLoopRunWhenPressed = 1;
    click.nLoopCount = 5;
    TMACROKEYINFO &arrow = list->MacroInfos[1];
    arrow.MacroListCount = 3;
    arrow.MacroList[0] = TMACROKEY{4, 1, 0x27, 1};
    arrow.MacroList[1] = TMACROKEY{6, 1, 0x2C, 0x01};
    arrow.MacroList[2] = TMACROKEY{4, 0, 0x27, 1};
    arrow.nLoopCount = 3;

    auto area = std::make_unique<TDeviceMacroArea>();
    EncodeMacroArea(*list, *area);
    const int index = ApplyFactoryProfileOne(area.get());

    const std::vector<Bytes> expected = {
        Report({0x02, 0x06, 0x00}, 16),
        Report({0x02, 0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA}, 16),
        Report({0x02, 0x03, 0x4F, 0x00, 0x2A, 0x00, 0xFA, 0xFA}, 16),
        Report({0x04, 0x02, 0x90, 0x00, 0x39, 0x00, 0xFA, 0xFA,
                0x0E, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                0x0E, 0x00, 0xE2, 0x00, 0x0E, 0x00, 0xE9, 0x00, 0x0E, 0x00, 0xEA, 0x00,
                0x10, 0x00, 0x4F, 0x00, 0x10, 0x00, 0x50, 0x00, 0x0E, 0x00, 0xB5, 0x00,
                0x0E, 0x00, 0xB6, 0x00, 0x0E, 0x00, 0xCD, 0x00, 0x0F, 0x04, 0x3D, 0x00,
                0x0F, 0x08, 0x07, 0x00, 0x0D, 0x00, 0x00, 0x00},
               1024),
        Report({0x02, 0x02, 0xF1, 0x00, 0x06, 0x00, 0xFA, 0xFA, 0x00, 0x00, 0xFF, 0x02, 0x03, 0x00}, 16),
        Report({0x03, 0x02, 0x4F, 0x00, 0x2A, 0x00, 0xFA, 0xFA,
                0x05, 0x00,
                0x01, 0x14, 0x00, 0x14, 0x00, 0x00, 0x00, 0x00,
                0x01, 0x28, 0x00, 0x28, 0x00, 0x01, 0x00, 0x00,
                0x01, 0x50, 0x00, 0x50, 0x00, 0x03, 0x00, 0x00,
                0x01, 0xA4, 0x00, 0xA4, 0x00, 0x07, 0x00, 0x00,
                0x01, 0x48, 0x01, 0x48, 0x01, 0x0F, 0x00, 0x00},
               64),
        Report({0x02, 0x02, 0x48, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x02}, 16),
        Report({0x03, 0x02, 0x00, 0x05, 0x0C, 0x00, 0xFA, 0xFA,
                0x81, 0x01, 0x00, 0x06, 0x32, 0x00, 0x01, 0x01, 0x00, 0x07, 0x00, 0x00},
               64),
        Report({0x03, 0x02, 0xC8, 0x05, 0x0C, 0x00, 0xFA, 0xFA,
                0x84, 0x4F, 0x01, 0x06, 0x2C, 0x01, 0x04, 0x4F, 0x01, 0x07, 0x03, 0x00},
               64),
        Report({0x02, 0x02, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x00}, 16),
        Report({0x02, 0x06, 0x01}, 16),
        Report({0x02, 0x01, 0x01, 0x00}, 16),
    };
    const auto sets = Reports(LogKind::SetFeature);
    ASSERT_EQ(sets.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(sets[i], expected[i]) << "report " << i;
    // The two answers of the read-back: report 2 with the active profile at
    // byte 8, report 3 with the table at byte 8 (level at byte 9).
    const auto gets = Reports(LogKind::GetFeature);
    ASSERT_EQ(gets.size(), 2u);
    ASSERT_EQ(gets[0].size(), 16u);
    ASSERT_EQ(gets[1].size(), 64u);
    EXPECT_EQ(gets[0][0], 0x02);
    EXPECT_EQ(gets[1][0], 0x03);
    EXPECT_EQ(gets[1][8], 0x05);
    EXPECT_EQ(index, gets[1][9]);
    EXPECT_EQ(mouse_->Dump(0x500, 12), (Bytes{0x81, 0x01, 0x00, 0x06, 0x32, 0x00, 0x01, 0x01, 0x00, 0x07, 0x00, 0x00}));
    EXPECT_EQ(mouse_->Dump(0x5C8, 12), (Bytes{0x84, 0x4F, 0x01, 0x06, 0x2C, 0x01, 0x04, 0x4F, 0x01, 0x07, 0x03, 0x00}));
}
