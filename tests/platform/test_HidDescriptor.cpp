#include "platform/HidDescriptor.h"
#include "support/HidDescriptorFixtures.h"

#include <gtest/gtest.h>

using namespace hkt::platform;
using namespace hkt::testfixtures;
using Bytes = std::vector<std::uint8_t>;

TEST(HidDescriptor, BootMouseHasOneCollectionWithWindowsLengths)
{
    const auto d = ParseHidDescriptor(kBootMouseDescriptor);
    ASSERT_TRUE(d);
    EXPECT_FALSE(d->usesReportIds);
    ASSERT_EQ(d->collections.size(), 1u);
    const HidCollectionInfo &c = d->collections[0];
    EXPECT_EQ(c.usagePage, 0x0001);
    EXPECT_EQ(c.usage, 0x0002);
    // 3 data bytes plus the report-ID byte Windows always counts.
    EXPECT_EQ(c.inputReportByteLength, 4);
    EXPECT_EQ(c.outputReportByteLength, 0);
    EXPECT_EQ(c.featureReportByteLength, 0);
    EXPECT_TRUE(c.inputReportIds.empty());
}

TEST(HidDescriptor, BootMouseButtonsAreTheBitsSet)
{
    const auto d = ParseHidDescriptor(kBootMouseDescriptor);
    ASSERT_TRUE(d);
    EXPECT_EQ(HidMaxUsageListLength(*d, 0), 3u);  // the padding bits are not buttons
    // Windows form: ID byte 0, then buttons 1 and 3 down, X and Y moving.
    const Bytes report = {0x00, 0b101, 0x05, 0xFB};
    EXPECT_EQ(HidUsagesSetInReport(*d, 0, report, 100), (std::vector<std::uint32_t>{0x90001, 0x90003}));
    EXPECT_EQ(HidUsagesSetInReport(*d, 0, report, 1), (std::vector<std::uint32_t>{0x90001}));
    EXPECT_TRUE(HidUsagesSetInReport(*d, 0, Bytes{0x00, 0xF8, 0xFF, 0xFF}, 100).empty());
}

TEST(HidDescriptor, VendorCollectionHasTheProtocolsReportLengths)
{
    const auto d = ParseHidDescriptor(kVendorDescriptor);
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->usesReportIds);
    ASSERT_EQ(d->collections.size(), 1u);
    const HidCollectionInfo &c = d->collections[0];
    EXPECT_EQ(c.usagePage, 0xFFA0);
    EXPECT_EQ(c.usage, 0x0001);
    EXPECT_EQ(c.featureReportByteLength, 4096);  // the largest, report 6
    EXPECT_EQ(c.inputReportByteLength, 8);
    EXPECT_EQ(c.outputReportByteLength, 0);
    EXPECT_EQ(c.featureReportIds, (std::vector<std::uint8_t>{2, 3, 4, 5, 6}));
    EXPECT_EQ(c.inputReportIds, (std::vector<std::uint8_t>{7, 8}));
}

TEST(HidDescriptor, VendorKeyReportListsItsSetBitAndReport8NoButtons)
{
    const auto d = ParseHidDescriptor(kVendorDescriptor);
    ASSERT_TRUE(d);
    EXPECT_EQ(HidMaxUsageListLength(*d, 0), 24u);
    // Key 10 (bit 10 of the 24-bit mask) is button usage 11.
    EXPECT_EQ(HidUsagesSetInReport(*d, 0, Bytes{7, 0x00, 0x04, 0x00, 0, 0, 0, 0}, 100),
              (std::vector<std::uint32_t>{0x9000B}));
    EXPECT_TRUE(HidUsagesSetInReport(*d, 0, Bytes{8, 1, 3, 0, 0, 0, 0, 0}, 100).empty());
    // A report shorter than its layout reads as zeros beyond its end.
    EXPECT_TRUE(HidUsagesSetInReport(*d, 0, Bytes{7}, 100).empty());
}

TEST(HidDescriptor, MultiCollectionNodeSplitsReportsByCollection)
{
    const auto d = ParseHidDescriptor(kMultiCollectionDescriptor);
    ASSERT_TRUE(d);
    ASSERT_EQ(d->collections.size(), 3u);
    struct Expect {
        std::uint16_t page, usage, in, out, feature;
        std::vector<std::uint8_t> inIds, featureIds;
    };
    const Expect expected[] = {
        {0x0001, 0x0006, 9, 0, 0, {1}, {}},
        {0x000C, 0x0001, 3, 0, 0, {3}, {}},
        {0xFFA0, 0x0001, 0, 0, 1024, {}, {2, 4}},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const HidCollectionInfo &c = d->collections[i];
        EXPECT_EQ(c.usagePage, expected[i].page);
        EXPECT_EQ(c.usage, expected[i].usage);
        EXPECT_EQ(c.inputReportByteLength, expected[i].in);
        EXPECT_EQ(c.outputReportByteLength, expected[i].out);
        EXPECT_EQ(c.featureReportByteLength, expected[i].feature);
        EXPECT_EQ(c.inputReportIds, expected[i].inIds);
        EXPECT_EQ(c.featureReportIds, expected[i].featureIds);
    }
}

TEST(HidDescriptor, ArrayFieldsGiveTheirUsagesAndOtherCollectionsReportsAreIgnored)
{
    const auto d = ParseHidDescriptor(kMultiCollectionDescriptor);
    ASSERT_TRUE(d);
    // Left Shift and 'a' on the keyboard.
    const Bytes keys = {1, 0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(HidUsagesSetInReport(*d, 0, keys, 100), (std::vector<std::uint32_t>{0x700E1, 0x70004}));
    EXPECT_TRUE(HidUsagesSetInReport(*d, 1, keys, 100).empty());
    // Volume up on the consumer page.
    EXPECT_EQ(HidUsagesSetInReport(*d, 1, Bytes{3, 0xE9, 0x00}, 100), (std::vector<std::uint32_t>{0xC00E9}));
    // An array value above the logical maximum names no usage.
    EXPECT_TRUE(HidUsagesSetInReport(*d, 1, Bytes{3, 0xFF, 0x0F}, 100).empty());
}

TEST(HidDescriptor, LongItemsAndPushPopAreHonoured)
{
    const Bytes desc = {
        0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01,
        0xFE, 0x02, 0x10, 0xAA, 0xBB,              // a long item, skipped whole
        0x85, 0x02, 0x75, 0x08, 0x95, 0x03,
        0xA4,                                      // push (size 8, count 3)
        0x95, 0x20, 0xB1, 0x02,                    // feature 2: 32 bytes
        0xB4,                                      // pop: count 3 again
        0x85, 0x05, 0xB1, 0x02,                    // feature 5: 3 bytes
        0xC0,
    };
    const auto d = ParseHidDescriptor(desc);
    ASSERT_TRUE(d);
    ASSERT_EQ(d->collections.size(), 1u);
    EXPECT_EQ(d->collections[0].featureReportByteLength, 33);
    EXPECT_EQ(d->collections[0].featureReportIds, (std::vector<std::uint8_t>{2, 5}));
}

TEST(HidDescriptor, MalformedDescriptorsAreRefused)
{
    struct Case {
        const char *name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"item cut short", {0x06, 0xA0}},
        {"long item cut short", {0xFE, 0x05, 0x00, 0x01}},
        {"end collection without collection", {0xC0}},
        {"report id 0", {0x85, 0x00}},
        {"pop without push", {0xB4}},
        {"report size above 256 bits", {0x76, 0x01, 0x02}},
        {"report above 65535 bytes",
         {0xA1, 0x01, 0x75, 0x08, 0x97, 0xFF, 0xFF, 0x00, 0x00, 0xB1, 0x02, 0xC0}},
        {"collections nested too deep", Bytes((kHidMaxNesting + 1) * 2, 0xA1)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ParseHidDescriptor(c.bytes));
    }
    EXPECT_FALSE(ParseHidDescriptor(Bytes(kHidMaxDescriptorSize + 1, 0x00)));
}

TEST(HidDescriptor, EmptyDescriptorHasNoCollections)
{
    const auto d = ParseHidDescriptor({});
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->collections.empty());
}

// A short usage takes the page in force when it is declared; the kernel's
// pass at each main item then gives the page declared last to the trailing
// usages declared before it (descriptors that name the page after their
// usages).
TEST(HidDescriptor, EachShortUsageTakesThePageInForceWhereItIsDeclared)
{
    struct Case {
        const char *name;
        Bytes locals;  // between the collection and Report Size/Count/Input
        std::vector<std::uint32_t> usages;
    };
    const Case cases[] = {
        {"page between the usages (gamepad)",
         {0x05, 0x09, 0x09, 0x01, 0x09, 0x02, 0x05, 0x0C, 0x09, 0xE9, 0x09, 0xEA},
         {0x90001, 0x90002, 0xC00E9, 0xC00EA}},
        {"page after the usages",
         {0x05, 0x01, 0x09, 0x01, 0x09, 0x02, 0x09, 0x03, 0x09, 0x04, 0x05, 0x09},
         {0x90001, 0x90002, 0x90003, 0x90004}},
        {"a usage under the last page ends the pass",
         {0x05, 0x09, 0x09, 0x01, 0x05, 0x0C, 0x09, 0xE9, 0x09, 0xEA, 0x05, 0x09, 0x09, 0x02},
         {0x90001, 0xC00E9, 0xC00EA, 0x90002}},
        {"an extended usage keeps its own page",
         {0x05, 0x09, 0x09, 0x01, 0x0B, 0x30, 0x00, 0x01, 0x00, 0x05, 0x0C, 0x09, 0xE9, 0x09, 0xEA},
         {0x90001, 0x10030, 0xC00E9, 0xC00EA}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes desc = {0x05, 0x01, 0x09, 0x05, 0xA1, 0x01};
        desc.insert(desc.end(), c.locals.begin(), c.locals.end());
        desc.insert(desc.end(), {0x75, 0x01, 0x95, 0x04, 0x81, 0x02, 0x95, 0x04, 0x81, 0x01, 0xC0});
        const auto d = ParseHidDescriptor(desc);
        ASSERT_TRUE(d);
        ASSERT_EQ(d->collections.size(), 1u);
        EXPECT_EQ(d->collections[0].usagePage, 0x0001);
        EXPECT_EQ(d->collections[0].usage, 0x0005);
        ASSERT_EQ(d->fields.size(), 2u);
        EXPECT_EQ(d->fields[0].usages, c.usages);
        EXPECT_EQ(HidUsagesSetInReport(*d, 0, Bytes{0x00, 0x0F}, 10), c.usages);
    }
}

TEST(HidDescriptor, UsageRangeTakesThePageWhereItsMaximumIsDeclared)
{
    const Bytes desc = {0x05, 0x01, 0x09, 0x05, 0xA1, 0x01,
                        0x05, 0x0C, 0x09, 0xE9,              // a consumer usage first
                        0x05, 0x09, 0x19, 0x01, 0x29, 0x03,  // then buttons 1 to 3
                        0x75, 0x01, 0x95, 0x04, 0x81, 0x02, 0x95, 0x04, 0x81, 0x01, 0xC0};
    const auto d = ParseHidDescriptor(desc);
    ASSERT_TRUE(d);
    ASSERT_EQ(d->fields.size(), 2u);
    EXPECT_EQ(d->fields[0].usages, (std::vector<std::uint32_t>{0xC00E9}));
    EXPECT_EQ(d->fields[0].usageMin, 0x90001u);
    EXPECT_EQ(d->fields[0].usageMax, 0x90003u);
}

// Cut anywhere inside a collection, a descriptor is refused, as the kernel
// refuses one that ends with a collection open; cut between collections it
// still gives the whole collections before the cut.
TEST(HidDescriptor, DescriptorEndingWithACollectionOpenIsRefused)
{
    EXPECT_FALSE(ParseHidDescriptor(Bytes{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01}));
    EXPECT_FALSE(ParseHidDescriptor(Bytes{0xA1, 0x01, 0xA1, 0x00, 0xC0}));
    const Bytes &full = kMultiCollectionDescriptor;
    ASSERT_TRUE(ParseHidDescriptor(full));
    std::size_t whole = 0;
    for (std::size_t n = 0; n < full.size(); ++n) {
        const auto d = ParseHidDescriptor(std::span(full.data(), n));
        if (!d)
            continue;
        ++whole;
        const auto complete = ParseHidDescriptor(full);
        ASSERT_LE(d->collections.size(), complete->collections.size());
        for (std::size_t c = 0; c < d->collections.size(); ++c) {
            EXPECT_EQ(d->collections[c].usage, complete->collections[c].usage) << n;
            EXPECT_EQ(d->collections[c].inputReportByteLength, complete->collections[c].inputReportByteLength) << n;
        }
    }
    EXPECT_GE(whole, 1u) << "the empty prefix";
}
