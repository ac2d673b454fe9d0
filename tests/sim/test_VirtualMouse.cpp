// The firmware model against reports written out by hand, byte for byte.
#include "sim/DeviceIdentity.h"
#include "support/ReportBytes.h"
#include "sim/VirtualMouse.h"

#include "core/DMUnit.h"
#include "core/pubunit_device_commands.h"
#include "core/pubunit_device_encoders.h"
#include "platform/HidDescriptor.h"
#include "platform/ValueStore.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

using namespace hkt::sim;

namespace {

using hkt::test::Bytes;
using hkt::test::Report;

struct Recorder {
    std::vector<MouseEvent> events;
    int id = 0;
    VirtualMouse &m;
    explicit Recorder(VirtualMouse &mouse) : m(mouse)
    {
        id = m.AddListener([this](const MouseEvent &e) { events.push_back(e); });
    }
    ~Recorder() { m.RemoveListener(id); }
};

} // namespace

TEST(SimIdentity, ReportForContentPicksTheSmallestReport)
{
    struct Case { std::size_t n; std::uint8_t id; std::size_t len; };
    const Case cases[] = {{8, 2, 16},     {16, 2, 16},     {17, 3, 64},     {64, 3, 64},  {65, 4, 1024},
                          {1024, 4, 1024}, {1025, 5, 2048}, {2048, 5, 2048}, {2049, 6, 4096}, {4096, 6, 4096}};
    for (const Case &c : cases) {
        EXPECT_EQ(FeatureReportForContent(c.n), c.id) << c.n;
        EXPECT_EQ(FeatureReportLength(c.id), c.len) << c.n;
    }
    EXPECT_EQ(FeatureReportForContent(4097), 0);
    EXPECT_EQ(FeatureReportLength(7), 0u);
    EXPECT_EQ(FeatureReportLength(1), 0u);
}

TEST(SimIdentity, InterfacesCarryTheVendorCollectionAndWindowsStyleIds)
{
    const auto ifs = SimInterfaces(QStringLiteral("sim:x"));
    ASSERT_EQ(ifs.size(), 2u);
    const auto &v = ifs[kVendorInterfaceIndex];
    EXPECT_EQ(v.path, QStringLiteral("sim:x/if1"));
    ASSERT_EQ(v.collections.size(), 1u);
    const auto &c = v.collections[0];
    EXPECT_EQ(c.usagePage, 0xFFA0);
    EXPECT_EQ(c.usage, 1);
    EXPECT_EQ(c.featureReportByteLength, 4096);
    EXPECT_EQ(c.inputReportByteLength, 8);
    EXPECT_EQ(c.outputReportByteLength, 0);
    EXPECT_EQ(c.hardwareIds,
              (QStringList{"HID\\VID_1209&PID_0001&REV_0100&MI_01", "HID\\VID_1209&PID_0001&MI_01",
                           "HID_DEVICE_UP:FFA0_U:0001", "HID_DEVICE"}));
    EXPECT_EQ(ifs[0].collections[0].usagePage, 0x0001);
    EXPECT_EQ(ifs[0].collections[0].hardwareIds[2], "HID_DEVICE_SYSTEM_MOUSE");
    // The descriptor opens with the vendor page and usage 1 and closes the collection.
    const auto d = VendorReportDescriptor();
    ASSERT_GE(d.size(), 8u);
    EXPECT_EQ(Bytes(d.begin(), d.begin() + 5), (Bytes{0x06, 0xA0, 0xFF, 0x09, 0x01}));
    EXPECT_EQ(d.back(), 0xC0);
    EXPECT_EQ(v.reportDescriptor.size(), static_cast<qsizetype>(d.size()));
}

TEST(SimMemoryMap, RegionsCoverExactlyTheHostAddresses)
{
    EXPECT_EQ(MapRegionOf(0x43, 1), "active profile");
    EXPECT_EQ(MapRegionOf(0x4C, 1), "rate code of profile 4");
    EXPECT_EQ(MapRegionOf(0x44F, 42), "DPI table of profile 4");
    EXPECT_EQ(MapRegionOf(0x190, 57), "button map of profile 1");
    EXPECT_EQ(MapRegionOf(0x1F1, 6), "light block of profile 1");
    EXPECT_EQ(MapRegionOf(0x690, 3), "macro slot 2");
    EXPECT_EQ(MapRegionOf(0x1BA8, 180), "macro slot 29");
    EXPECT_EQ(MapRegionOf(0x1C5B, 1), "macro slot 29"); // last byte of the area
    EXPECT_TRUE(MapRegionOf(0x1C5C, 1).empty());
    EXPECT_TRUE(MapRegionOf(0x500 + 180, 1).empty());   // the gap between slots
    EXPECT_TRUE(MapRegionOf(0x44, 1).empty());
    EXPECT_TRUE(MapRegionOf(0x4F, 43).empty());          // one byte past the DPI table
    EXPECT_TRUE(MapRegionOf(0x500, 181).empty());
}

TEST(VirtualMouse, MemoryWritesLandAtTheirAddresses)
{
    VirtualMouse m;
    m.SetStrict(true);
    // Active profile 2 at 0x43, report 2.
    EXPECT_EQ(m.SetFeature(Report({0x02, 0x02, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x02}, 16)), kOk);
    EXPECT_EQ(m.Dump(0x43, 1), Bytes{2});
    // A 57-byte button map of profile 1 at 0x190, report 4.
    Bytes map(57);
    for (int i = 0; i < 57; ++i)
        map[i] = static_cast<std::uint8_t>(i + 1);
    Bytes r = Report({0x04, 0x02, 0x90, 0x01, 0x39, 0x00, 0xFA, 0xFA}, 1024);
    std::copy(map.begin(), map.end(), r.begin() + 8);
    EXPECT_EQ(m.SetFeature(r), kOk);
    EXPECT_EQ(m.Dump(0x190, 57), map);
    EXPECT_EQ(m.Dump(0x190 + 57, 1), Bytes{0}); // nothing past the image
    EXPECT_TRUE(m.Violations().empty());
    const auto s = m.Stats();
    EXPECT_EQ(s.setReports, 2u);
    EXPECT_EQ(s.setBytes, 16u + 1024u);
}

TEST(VirtualMouse, ReadAnswersWithMemoryAtByteEight)
{
    VirtualMouse m;
    m.SetStrict(true);
    Bytes table(42);
    for (int i = 0; i < 42; ++i)
        table[i] = static_cast<std::uint8_t>(0xA0 + i);
    m.Poke(0x14F, table);
    EXPECT_EQ(m.SetFeature(Report({0x02, 0x03, 0x4F, 0x01, 0x2A, 0x00, 0xFA, 0xFA}, 16)), kOk);
    Bytes answer = Report({0x03}, 64);
    EXPECT_EQ(m.GetFeature(answer), kOk);
    EXPECT_EQ(answer[0], 0x03);
    EXPECT_EQ(Bytes(answer.begin() + 1, answer.begin() + 8), (Bytes{0x03, 0x4F, 0x01, 0x2A, 0x00, 0xFA, 0xFA}));
    EXPECT_EQ(Bytes(answer.begin() + 8, answer.begin() + 50), table);
    EXPECT_EQ(Bytes(answer.begin() + 50, answer.end()), Bytes(14, 0));
    // One byte at 0x43 answers in report 2.
    EXPECT_EQ(m.SetFeature(Report({0x02, 0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA}, 16)), kOk);
    Bytes a2 = Report({0x02}, 16);
    EXPECT_EQ(m.GetFeature(a2), kOk);
    EXPECT_EQ(a2[8], 0);
    EXPECT_EQ(a2[9], 0);
    EXPECT_TRUE(m.Violations().empty());
}

TEST(VirtualMouse, ShortCommandsSetLiveState)
{
    VirtualMouse m;
    m.SetStrict(true);
    EXPECT_EQ(m.SetFeature(Report({0x02, 0x06, 0x00}, 16)), kOk);
    EXPECT_EQ(m.Live().writeState, 0);
    EXPECT_EQ(m.SetFeature(Report({0x02, 0x04, 0x00, 0x00, 0xFF, 0x02, 0x03}, 16)), kOk);
    EXPECT_EQ(m.SetFeature(Report({0x02, 0x05, 0x07}, 16)), kOk);
    EXPECT_EQ(m.SetFeature(Report({0x02, 0x01, 0x01, 0x03}, 16)), kOk);
    const auto live = m.Live();
    EXPECT_TRUE(live.liveLightSet);
    EXPECT_EQ(Bytes(live.liveLight, live.liveLight + 5), (Bytes{0x00, 0x00, 0xFF, 0x02, 0x03}));
    EXPECT_EQ(live.liftOff, 7);
    EXPECT_EQ(live.refreshCount, 1u);
    EXPECT_EQ(live.lastRefresh[0], 1);
    EXPECT_EQ(live.lastRefresh[1], 3);
    EXPECT_TRUE(m.Violations().empty());
}

TEST(VirtualMouse, StrictModeRecordsEveryHostMistake)
{
    struct Case { const char *name; Bytes report; const char *expect; };
    Bytes padded = Report({0x02, 0x02, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x01}, 16);
    padded[12] = 0x55;
    const Case cases[] = {
        {"short report", Report({0x02, 0x01, 0x01, 0x00}, 15), "instead of 16"},
        {"non-zero padding", padded, "non-zero padding"},
        {"short command in report 3", Report({0x03, 0x01, 0x01, 0x00}, 64), "instead of report 2"},
        {"map in report 3", Report({0x03, 0x02, 0x90, 0x01, 0x39, 0x00, 0xFA, 0xFA}, 64), "instead of report 4"},
        {"read request in report 3", Report({0x03, 0x03, 0x4F, 0x00, 0x2A, 0x00, 0xFA, 0xFA}, 64),
         "instead of report 2"},
        {"write outside the map", Report({0x02, 0x02, 0x80, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x01}, 16),
         "outside the memory map"},
        {"write across two slots", Report({0x03, 0x02, 0xA8, 0x05, 0x1B, 0x00, 0xFA, 0xFA}, 64),
         "outside the memory map"},
        {"read outside the map", Report({0x02, 0x03, 0x00, 0x30, 0x01, 0x00, 0xFA, 0xFA}, 16),
         "outside the memory map"},
        {"no FA FA marker", Report({0x02, 0x02, 0x43, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01}, 16), "FA FA"},
        {"unknown command", Report({0x02, 0x09}, 16), "unknown command"},
        {"active profile 7", Report({0x02, 0x02, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x07}, 16),
         "outside 0..4"},
        {"rate code 3", Report({0x02, 0x02, 0x49, 0x00, 0x01, 0x00, 0xFA, 0xFA, 0x03}, 16), "not 1, 2, 4 or 8"},
        {"refresh with stray argument", Report({0x02, 0x01, 0x01, 0x00, 0x09}, 16), "not zero"},
        {"macro slot of 4 bytes", Report({0x02, 0x02, 0x00, 0x05, 0x04, 0x00, 0xFA, 0xFA, 7, 1, 0, 0}, 16),
         "3-byte steps"},
        {"write longer than 2048", Report({0x06, 0x02, 0x00, 0x05, 0x01, 0x08, 0xFA, 0xFA}, 4096), "above 2048"},
    };
    for (const Case &c : cases) {
        VirtualMouse m;
        m.SetStrict(true);
        m.SetFeature(c.report);
        const auto v = m.Violations();
        ASSERT_FALSE(v.empty()) << c.name;
        bool found = false;
        for (const auto &x : v)
            found = found || x.what.find(c.expect) != std::string::npos;
        EXPECT_TRUE(found) << c.name << ": " << v[0].what;
    }
}

TEST(VirtualMouse, StrictModeChecksTheAnswerFetch)
{
    VirtualMouse m;
    m.SetStrict(true);
    Bytes a = Report({0x02}, 16);
    EXPECT_EQ(m.GetFeature(a), kOk);
    ASSERT_EQ(m.Violations().size(), 1u);
    EXPECT_NE(m.Violations()[0].what.find("without a read request"), std::string::npos);
    m.ClearViolations();
    // A 42-byte read fetched as report 2 is the wrong report.
    m.SetFeature(Report({0x02, 0x03, 0x4F, 0x00, 0x2A, 0x00, 0xFA, 0xFA}, 16));
    Bytes b = Report({0x02}, 16);
    EXPECT_EQ(m.GetFeature(b), kOk);
    ASSERT_EQ(m.Violations().size(), 1u);
    EXPECT_NE(m.Violations()[0].what.find("instead of 3"), std::string::npos);
    // Strict off records nothing.
    VirtualMouse lenient;
    lenient.SetFeature(Report({0x02, 0x09}, 16));
    EXPECT_TRUE(lenient.Violations().empty());
}

TEST(VirtualMouse, UnknownOrOversizedReportsAreRefused)
{
    VirtualMouse m;
    m.SetStrict(true);
    EXPECT_EQ(m.SetFeature(Report({0x07}, 16)), kGenFailure);
    EXPECT_EQ(m.SetFeature(Report({0x02}, 17)), kGenFailure);
    Bytes g = Report({0x09}, 16);
    EXPECT_EQ(m.GetFeature(g), kGenFailure);
    EXPECT_EQ(g[1], 0);
    EXPECT_EQ(m.SetFeature({}), kInvalidParameter);
    EXPECT_EQ(m.Violations().size(), 4u);
}

TEST(VirtualMouse, FailAfterFailsExactlyTheChosenTransfers)
{
    VirtualMouse m;
    const Bytes refresh = Report({0x02, 0x01, 0x01}, 16);
    m.FailAfter(2, 2);
    std::vector<std::uint32_t> got;
    for (int i = 0; i < 5; ++i)
        got.push_back(m.SetFeature(refresh));
    EXPECT_EQ(got, (std::vector<std::uint32_t>{kOk, kOk, kGenFailure, kGenFailure, kOk}));
    // A failed fetch leaves the caller's buffer alone.
    m.SetFeature(Report({0x02, 0x03, 0x43, 0x00, 0x01, 0x00, 0xFA, 0xFA}, 16));
    m.FailAfter(0);
    Bytes a(16, 0xEE);
    a[0] = 2;
    EXPECT_EQ(m.GetFeature(a), kGenFailure);
    EXPECT_EQ(a[8], 0xEE);
    EXPECT_EQ(m.Live().refreshCount, 3u);
}

TEST(VirtualMouse, UnplugAndPlugAreEventsAndUnplugRefusesTransfers)
{
    VirtualMouse m;
    Recorder rec(m);
    m.Unplug();
    m.Unplug(); // no second event
    EXPECT_FALSE(m.Plugged());
    EXPECT_EQ(m.SetFeature(Report({0x02, 0x01, 0x01}, 16)), kNotConnected);
    Bytes a = Report({0x02}, 16);
    EXPECT_EQ(m.GetFeature(a), kNotConnected);
    EXPECT_FALSE(m.Press(0));
    m.Plug();
    ASSERT_EQ(rec.events.size(), 2u);
    EXPECT_EQ(rec.events[0].type, MouseEvent::Type::Unplugged);
    EXPECT_EQ(rec.events[1].type, MouseEvent::Type::Plugged);
    EXPECT_EQ(m.SetFeature(Report({0x02, 0x01, 0x01}, 16)), kOk);
}

TEST(VirtualMouse, OnMouseChangesSendSettingReports)
{
    VirtualMouse m;
    Recorder rec(m);
    ASSERT_TRUE(m.SetProfile(3));
    ASSERT_TRUE(m.SetDpiLevel(2));
    ASSERT_TRUE(m.SetRateCode(1));
    EXPECT_FALSE(m.SetProfile(5));
    EXPECT_FALSE(m.SetDpiLevel(-1));
    EXPECT_FALSE(m.SetRateCode(3));
    ASSERT_EQ(rec.events.size(), 3u);
    EXPECT_EQ(rec.events[0].bytes, (Bytes{8, 1, 3, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rec.events[1].bytes, (Bytes{8, 2, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rec.events[2].bytes, (Bytes{8, 6, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(m.Dump(0x43, 1), Bytes{3});
    EXPECT_EQ(m.Dump(3 * 256 + 0x50, 1), Bytes{2});
    EXPECT_EQ(m.Dump(0x48 + 3, 1), Bytes{1});
}

TEST(VirtualMouse, PressSendsTheKeyMaskAndActsOnTheButtonsFunction)
{
    VirtualMouse m;
    Recorder rec(m);
    // Factory profile 1's button 8 is NEXT TRACK: the host's business only.
    ASSERT_TRUE(m.Press(8));
    ASSERT_EQ(rec.events.size(), 2u);
    EXPECT_EQ(rec.events[0].bytes, (Bytes{7, 0x00, 0x01, 0x00, 0, 0, 0, 0}));
    EXPECT_EQ(rec.events[1].bytes, (Bytes{7, 0, 0, 0, 0, 0, 0, 0}));
    rec.events.clear();
    ASSERT_TRUE(m.Press(23));
    EXPECT_EQ(rec.events[0].bytes, (Bytes{7, 0x00, 0x00, 0x80, 0, 0, 0, 0}));
    rec.events.clear();
    // Button 13 of every factory profile switches to the next profile.
    for (int to : {1, 2}) {
        ASSERT_TRUE(m.Press(13));
        ASSERT_EQ(rec.events.size(), 3u);
        EXPECT_EQ(rec.events[1].bytes, (Bytes{8, 1, std::uint8_t(to), 0, 0, 0, 0, 0}));
        rec.events.clear();
    }
    // Factory profile 3 (index 2, DPI level 2, 500 Hz): rate + and - on 4
    // and 5, DPI + and - on 6 and 7, each reported and kept in memory.
    struct Step {
        int key;
        Bytes report;
        std::uint16_t addr;
        std::uint8_t after;
    };
    const Step steps[] = {
        {6, {8, 2, 3, 0, 0, 0, 0, 0}, 0x250, 3}, {7, {8, 2, 2, 0, 0, 0, 0, 0}, 0x250, 2},
        {7, {8, 2, 1, 0, 0, 0, 0, 0}, 0x250, 1}, {4, {8, 6, 1, 0, 0, 0, 0, 0}, 0x4A, 1},
        {4, {8, 6, 1, 0, 0, 0, 0, 0}, 0x4A, 1}, // already the fastest
        {5, {8, 6, 2, 0, 0, 0, 0, 0}, 0x4A, 2},
    };
    for (const Step &s : steps) {
        ASSERT_TRUE(m.Press(s.key));
        ASSERT_EQ(rec.events.size(), 3u) << s.key;
        EXPECT_EQ(rec.events[1].bytes, s.report) << s.key;
        EXPECT_EQ(m.Dump(s.addr, 1), Bytes{s.after}) << s.key;
        rec.events.clear();
    }
    // A DPI cycle the host put on button 5 wraps after the last level.
    m.Poke(0x290 + 1 + 4 * 5, Bytes{8});
    for (int level : {2, 3, 4, 0}) {
        ASSERT_TRUE(m.Press(5));
        ASSERT_EQ(rec.events.size(), 3u);
        EXPECT_EQ(rec.events[1].bytes, (Bytes{8, 2, std::uint8_t(level), 0, 0, 0, 0, 0}));
        rec.events.clear();
    }
    EXPECT_FALSE(m.Press(24));
}

// A fresh mouse holds, for every profile, the images APPLY makes of the
// profile a fresh data module holds, so the profiles an APPLY does not write
// already agree with the window. Checked against the data module's own
// factory profiles and, for the bytes that tell the profiles apart, against
// values worked out by hand.
TEST(VirtualMouse, StartsWithTheFactoryProfilesImages)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TDM dm(TDMRoots{std::make_shared<hkt::platform::DirectoryValueStore>(dir.filePath(QStringLiteral("registry"))),
                    dir.filePath(QStringLiteral("prog/")), dir.filePath(QStringLiteral("docs/"))});
    VirtualMouse m;
    auto profile = std::make_unique<TMouseProfileInfo>();
    auto bytesOf = [](const auto &image) {
        const auto *b = reinterpret_cast<const std::uint8_t *>(&image);
        return Bytes(b, b + sizeof image);
    };
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        SCOPED_TRACE(p);
        ASSERT_TRUE(dm.ReadProfileInfo(*profile, p));
        TProfileDeviceImages images;
        EncodeProfileDeviceImages(*profile, images);
        EXPECT_EQ(m.Dump(ButtonMapAddress(p), 57), bytesOf(images.Buttons));
        EXPECT_EQ(m.Dump(LEDConfigAddress(p), 6), bytesOf(images.Light));
        EXPECT_EQ(m.Dump(CPITableAddress(p), 42), bytesOf(images.CPI));
        EXPECT_EQ(m.Dump(ReportRateAddress(p), 1), Bytes{images.RateCode});
    }
    EXPECT_EQ(m.Dump(ACTIVE_PROFILE_ADDRESS, 1), Bytes{0});
    // No factory profile plays a macro: APPLY writes no slot.
    EXPECT_EQ(m.Dump(MACRO_AREA_BASE, 30 * 200), Bytes(30 * 200, 0));

    // By hand: the colour stored inverted, the profile's own DPI level,
    // 500 Hz, 14 entries sent with the profile switch on the last.
    const Bytes lights[PROFILE_COUNT] = {
        {{0x00, 0x00, 0xFF, 2, 3, 0}}, {{0xFF, 0x00, 0xFF, 2, 3, 0}}, {{0xFF, 0xFF, 0x00, 2, 3, 0}},
        {{0x00, 0xFF, 0x00, 2, 3, 0}}, {{0x00, 0xFF, 0xFF, 2, 3, 0}},
    };
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        SCOPED_TRACE(p);
        const std::uint16_t page = std::uint16_t(p * 256);
        EXPECT_EQ(m.Dump(page + 0xF1, 6), lights[p]);
        EXPECT_EQ(m.Dump(page + 0x4F, 4), (Bytes{5, std::uint8_t(p), 1, 0x14}));
        EXPECT_EQ(m.Dump(0x48 + p, 1), Bytes{2});
        EXPECT_EQ(m.Dump(page + 0x90, 1), Bytes{14});
        EXPECT_EQ(m.Dump(page + 0x90 + 1 + 4 * 13, 4), (Bytes{13, 0, 0, 0}));
    }
    // Factory profile 3: rate +, rate -, DPI +, DPI - on buttons 4 to 7.
    EXPECT_EQ(m.Dump(0x290 + 1 + 4 * 4, 16), (Bytes{23, 0, 0, 0, 24, 0, 0, 0, 10, 0, 0, 0, 9, 0, 0, 0}));
}

TEST(VirtualMouse, LogKeepsEveryReportInOrderWithinItsCapacity)
{
    VirtualMouse m;
    m.SetFeature(Report({0x02, 0x01, 0x01}, 16));
    m.Press(0);
    m.Unplug();
    auto log = m.Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].kind, LogKind::SetFeature);
    EXPECT_EQ(log[0].bytes.size(), 16u);
    EXPECT_EQ(log[1].kind, LogKind::Input);
    EXPECT_EQ(log[3].kind, LogKind::Unplug);
    EXPECT_LT(log[0].seq, log[3].seq);
    m.SetLogCapacity(2);
    for (int i = 0; i < 5; ++i)
        m.Plug(), m.Unplug();
    log = m.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, LogKind::Plug);
    EXPECT_EQ(log[1].kind, LogKind::Unplug);
    EXPECT_LT(log[0].seq, log[1].seq);
}

TEST(VirtualMouse, AnAnswerFillsOnlyItsReportsLength)
{
    VirtualMouse m;
    m.SetStrict(true);
    m.SetFeature(Report({0x02, 0x03, 0x4F, 0x00, 0x2A, 0x00, 0xFA, 0xFA}, 16));
    Bytes big(100, 0xEE);
    big[0] = 3;
    std::size_t got = 0;
    EXPECT_EQ(m.GetFeature(big, &got), kOk);
    EXPECT_EQ(got, 64u);
    EXPECT_EQ(big[64], 0xEE);
    ASSERT_EQ(m.Violations().size(), 1u);
    EXPECT_NE(m.Violations()[0].what.find("100 bytes instead of 64"), std::string::npos);
}

// The descriptors the simulated mouse enumerates with, read by the host's own
// parser, give exactly the collections and lengths it announces, and a key
// report parses to the one button it carries.
TEST(SimIdentity, DescriptorsAgreeWithTheHostParser)
{
    for (const auto &i : SimInterfaces(QStringLiteral("sim:x"))) {
        const auto bytes = std::span(reinterpret_cast<const std::uint8_t *>(i.reportDescriptor.constData()),
                                     std::size_t(i.reportDescriptor.size()));
        const auto parsed = hkt::platform::ParseHidDescriptor(bytes);
        ASSERT_TRUE(parsed.has_value()) << qPrintable(i.path);
        ASSERT_EQ(parsed->collections.size(), i.collections.size());
        const auto &a = parsed->collections[0];
        const auto &b = i.collections[0];
        EXPECT_EQ(a.usagePage, b.usagePage);
        EXPECT_EQ(a.usage, b.usage);
        EXPECT_EQ(a.inputReportByteLength, b.inputReportByteLength) << qPrintable(i.path);
        EXPECT_EQ(a.outputReportByteLength, b.outputReportByteLength);
        EXPECT_EQ(a.featureReportByteLength, b.featureReportByteLength);
        EXPECT_EQ(a.inputReportIds, b.inputReportIds);
        EXPECT_EQ(a.featureReportIds, b.featureReportIds);
    }
    const auto vendor = hkt::platform::ParseHidDescriptor(VendorReportDescriptor());
    ASSERT_TRUE(vendor.has_value());
    const Bytes key9 = {7, 0x00, 0x02, 0x00, 0, 0, 0, 0};
    EXPECT_EQ(hkt::platform::HidUsagesSetInReport(*vendor, 0, key9, 100), (std::vector<std::uint32_t>{0x0009000A}));
}
