// The compound-file container: our writer against our reader for large streams (the FAT
// outgrows the header and needs DIFAT sectors), and our reader against streams LibreOffice
// wrote, small enough to live in the mini stream.

#include <random>

#include "workbook/workbook_internal.h"
#include "workbook_test_support.h"

namespace brindlecot::workbook_detail {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;
using workbook_test::FixturePath;

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(CompoundFile, ReadsTheStreamsAnotherProgramWrote) {
    const auto file = Bytes(ReadFileBytes(FixturePath("calc_source.xls")));
    ASSERT_TRUE(IsSoundCompoundFile(file));
    const auto workbook = ReadCompoundFileStream(file, u"Workbook");
    ASSERT_TRUE(workbook.has_value());
    ASSERT_GE(workbook->size(), 8u);
    EXPECT_EQ((*workbook)[0], 0x09);  // BOF record, BIFF8
    EXPECT_EQ((*workbook)[1], 0x08);
    EXPECT_EQ((*workbook)[4], 0x00);
    EXPECT_EQ((*workbook)[5], 0x06);
    // A property set of a few hundred bytes: stored in the mini stream.
    const auto summary = ReadCompoundFileStream(file, u"\u0005SummaryInformation");
    ASSERT_TRUE(summary.has_value());
    ASSERT_GE(summary->size(), 2u);
    EXPECT_LT(summary->size(), 4096u);
    EXPECT_EQ((*summary)[0], 0xFE);  // property-set byte order mark
    EXPECT_EQ((*summary)[1], 0xFF);
    EXPECT_FALSE(ReadCompoundFileStream(file, u"Book").has_value());
}

TEST(CompoundFile, LargeStreamRoundTripThroughDifatSectors) {
    TempFolder folder;
    std::vector<std::uint8_t> stream(9'000'000);  // > 109 FAT sectors' worth of 512-byte sectors
    std::mt19937 random(7);
    for (auto& b : stream)
        b = static_cast<std::uint8_t>(random());
    ASSERT_TRUE(WriteCompoundFile(folder / "big.bin", "Workbook", stream));
    const auto file = Bytes(ReadFileBytes(folder / "big.bin"));
    EXPECT_EQ(file.size() % 512, 0u);
    ASSERT_TRUE(IsSoundCompoundFile(file));
    const auto back = ReadCompoundFileStream(file, u"workbook");  // names compare without case
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(*back == stream);
}

TEST(CompoundFile, ShortStreamIsPaddedOutOfTheMiniStream) {
    TempFolder folder;
    const std::vector<std::uint8_t> stream{1, 2, 3};
    ASSERT_TRUE(WriteCompoundFile(folder / "small.bin", "Workbook", stream));
    const auto back =
        ReadCompoundFileStream(Bytes(ReadFileBytes(folder / "small.bin")), u"Workbook");
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ(back->size(), 4096u);
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), back->begin()));
}

TEST(CompoundFile, DamagedStructuresAreUnsound) {
    const auto good = Bytes(ReadFileBytes(FixturePath("calc_source.xls")));
    ASSERT_TRUE(IsSoundCompoundFile(good));
    const std::size_t directory =
        (static_cast<std::size_t>(ByteReader(good.data(), good.size()).U32(48)) + 1) * 512;

    auto longName = good;
    longName[directory + 128 + 64] = 0xFF;  // second entry's name length
    EXPECT_FALSE(IsSoundCompoundFile(longName));

    auto badSibling = good;
    for (int k = 0; k < 4; ++k)
        badSibling[directory + 128 + 68 + k] = 0x70;
    EXPECT_FALSE(IsSoundCompoundFile(badSibling));

    // The directory's sector points at itself.
    const ByteReader in(good.data(), good.size());
    const std::uint32_t directorySector = in.U32(48);
    ASSERT_LT(directorySector, 128u);  // its entry lies in the first FAT sector
    auto loopingFat = good;
    const std::size_t fatEntry =
        (static_cast<std::size_t>(in.U32(76)) + 1) * 512 + directorySector * 4;
    for (int k = 0; k < 4; ++k)
        loopingFat[fatEntry + k] = static_cast<std::uint8_t>(directorySector >> (8 * k));
    EXPECT_FALSE(ReadCompoundFileStream(loopingFat, u"Workbook").has_value());
    EXPECT_FALSE(IsSoundCompoundFile(loopingFat));

    auto badOrder = good;
    badOrder[28] = 0xFF;
    badOrder[29] = 0xFF;
    EXPECT_FALSE(IsSoundCompoundFile(badOrder));
}

}  // namespace
}  // namespace brindlecot::workbook_detail
