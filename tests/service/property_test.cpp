// Every property index: what it reads, what a write does, and where ResultCode is left alone.

#include <gtest/gtest.h>

#include "common/version.h"
#include "tests/service/frame_fixture.h"

namespace ka::test {
namespace {

struct NumberValue {
    long index;
    long value;
};

// Freshly opened, unclaimed, nothing written yet.
constexpr NumberValue kNumberValues[] = {
    {1, 0},       {2, 0},    {3, 0},     {4, 0},    {8, KA_OPOS_VERSION}, {9, 2},    {10, 0},   {11, 0},
    {12, 0},      {13, 0},   {14, 2000}, {501, 0},  {9001, 30000}, {9002, 4}, {9003, 0}, {9004, 0},
    {9005, 0},    {9501, 1}, {9502, 0},  {9503, 0}, {9504, 0},    {9505, 1},
};

constexpr long kIllegalNumberIndexes[] = {0, 5, 15, 500, 502, 1000, 9000, 9006, 9500, 9506, 1000001, -1};

class PropertyTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        WriteProfile("PropScale", "COM6");
        scale_ = OpenedScale("PropScale");
        ASSERT_TRUE(scale_);
    }
    // Leaves 106 in ResultCode through an illegal read, so untouched results are visible.
    void MarkResultCode() {
        scale_.GetPropertyNumber(5);
        ASSERT_EQ(scale_.ResultCode(), 106);
    }
    ScaleClient scale_;
};

TEST_F(PropertyTest, EveryNumberIndexReadsItsValueSilently) {
    MarkResultCode();
    const size_t mark = LogSize();
    for (const auto& property : kNumberValues) {
        EXPECT_EQ(scale_.GetPropertyNumber(property.index), property.value) << "index " << property.index;
    }
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kResultCodeExtended), 0);
    EXPECT_EQ(scale_.ResultCode(), 106) << "reading ResultCode never changes it";
    EXPECT_EQ(scale_.ResultCode(), 106);
    EXPECT_TRUE(LogSince(mark).empty());
}

TEST_F(PropertyTest, IllegalNumberIndexesReadZeroAndRecordIllegal) {
    for (const long index : kIllegalNumberIndexes) {
        scale_.SetPropertyNumber(11, 1);  // a success exit: ResultCode 0
        ASSERT_EQ(scale_.ResultCode(), 0);
        const size_t mark = LogSize();
        EXPECT_EQ(scale_.GetPropertyNumber(index), 0) << "index " << index;
        EXPECT_EQ(scale_.ResultCode(), 106) << "index " << index;
        EXPECT_EQ(LogSince(mark), (Lines{"Routine returned unsuccessful result [GetPropertyNumber:  <Illegal Property>] [106].",
                                         "LEAVE [GetPropertyNumber:  <Illegal Property>]."}))
            << "index " << index;
    }
}

TEST_F(PropertyTest, StringIndexesReadTheirTexts) {
    MarkResultCode();
    EXPECT_EQ(scale_.GetPropertyString(1000001), "");
    EXPECT_EQ(scale_.GetPropertyString(1000002), "Tavrix Scale Device");
    EXPECT_EQ(scale_.GetPropertyString(1000003), "Tavrix Scale Device") << "not the opened device name";
    const std::string description = scale_.GetPropertyString(1000004);
    EXPECT_EQ(description.rfind("Tavrix Scale Device OPOS Service Object", 0), 0u) << description;
    EXPECT_GT(description.size(), std::string("Tavrix Scale Device OPOS Service Object").size())
        << "followed by the maker's notice";
    EXPECT_EQ(scale_.ResultCode(), 106) << "string reads leave ResultCode alone";
}

TEST_F(PropertyTest, IllegalStringIndexesReadEmptyAndRecordIllegal) {
    for (const long index : {1000000L, 1000005L, 1L, -1L}) {
        scale_.SetPropertyNumber(11, 1);
        const size_t mark = LogSize();
        EXPECT_EQ(scale_.GetPropertyString(index), "") << "index " << index;
        EXPECT_EQ(scale_.ResultCode(), 106) << "index " << index;
        EXPECT_EQ(LogSince(mark), (Lines{"Routine returned unsuccessful result [GetPropertyString:  <Illegal Property>] [106].",
                                         "LEAVE [GetPropertyString:  <Illegal Property>]."}));
    }
}

TEST_F(PropertyTest, NoStringPropertyIsWritable) {
    for (const long index : {1000001L, 1000002L, 1000003L, 1000004L, 0L}) {
        scale_.SetPropertyNumber(11, 1);
        const size_t mark = LogSize();
        scale_.SetPropertyString(index, "new text");
        EXPECT_EQ(scale_.ResultCode(), 106) << "index " << index;
        EXPECT_EQ(LogSince(mark), (Lines{"Routine returned unsuccessful result [SetPropertyString:  <Illegal Property>] [106].",
                                         "LEAVE [SetPropertyString:  <Illegal Property>]."}));
    }
    EXPECT_EQ(scale_.GetPropertyString(1000002), "Tavrix Scale Device");
}

// One write: its index and number, the ResultCode after it (-1: left as it was), the value read
// back at `readIndex`, and the lines it logs.
struct NumberWrite {
    long index;
    long number;
    long resultCode;
    long readIndex;
    long readBack;
    Lines lines;
};

const NumberWrite kNumberWrites[] = {
    {2, 1, -1, 2, 1, {}},
    {2, 0, -1, 2, 0, {}},
    {4, 1, 0, 4, 1, {"LEAVE [SetPropertyNumber(FreezeEvents)]."}},
    {4, 0, 0, 4, 0, {"LEAVE [SetPropertyNumber(FreezeEvents)]."}},
    {10, 7, -1, 10, 7, {}},
    {11, 2, 0, 11, 2, {"LEAVE [SetPropertyNumber(BinaryConversion)]."}},
    {11, 3, 106, 11, 0,
     {"Routine returned unsuccessful result [SetPropertyNumber(BinaryConversion)] [106].",
      "LEAVE [SetPropertyNumber(BinaryConversion)]."}},
    {11, -1, 106, 11, 0,
     {"Routine returned unsuccessful result [SetPropertyNumber(BinaryConversion)] [106].",
      "LEAVE [SetPropertyNumber(BinaryConversion)]."}},
    {13, 0, -1, 13, 0, {}},
    {13, 1, 106, 13, 0,
     {"Routine returned unsuccessful result [SetPropertyNumber(PowerNotify)] [106].",
      "LEAVE [SetPropertyNumber(PowerNotify)]."}},
    {9003, 1, -1, 9003, 1, {}},
    {9003, 5, -1, 9003, 5, {}},
    {9005, 500, -1, 9005, 0, {}},
    {1, 1, 106, 1, 0,
     {"Routine returned unsuccessful result [SetPropertyNumber:  <Illegal Property>] [106].",
      "LEAVE [SetPropertyNumber:  <Illegal Property>]."}},
    {6, 0, 106, 6, 106,
     {"Routine returned unsuccessful result [SetPropertyNumber:  <Illegal Property>] [106].",
      "LEAVE [SetPropertyNumber:  <Illegal Property>]."}},
    {9001, 5, 106, 9001, 30000,
     {"Routine returned unsuccessful result [SetPropertyNumber:  <Illegal Property>] [106].",
      "LEAVE [SetPropertyNumber:  <Illegal Property>]."}},
};

TEST_F(PropertyTest, NumberWritesStoreLogAndRecordAsTheirIndexSays) {
    for (const auto& write : kNumberWrites) {
        SCOPED_TRACE("SetPropertyNumber(" + std::to_string(write.index) + ", " + std::to_string(write.number) + ")");
        // Start from 0 (BinaryConversion's read-back checks rely on it) with 106 in ResultCode.
        scale_.SetPropertyNumber(11, 0);
        MarkResultCode();
        const size_t mark = LogSize();
        scale_.SetPropertyNumber(write.index, write.number);
        EXPECT_EQ(scale_.ResultCode(), write.resultCode == -1 ? 106 : write.resultCode);
        EXPECT_EQ(LogSince(mark), write.lines);
        EXPECT_EQ(scale_.GetPropertyNumber(write.readIndex), write.readBack);
    }
}

TEST_F(PropertyTest, PropertiesAnswerBeforeOpenToo) {
    ScaleClient fresh = NewScale();
    EXPECT_EQ(fresh.GetPropertyNumber(9), 2) << "State is idle also while closed";
    // The OPOS release 1.5, whatever the product's version: only the build follows the product.
    EXPECT_EQ(fresh.GetPropertyNumber(8), 1005000 + KA_VERSION_PATCH);
    EXPECT_EQ(fresh.GetPropertyNumber(5), 0);
    EXPECT_EQ(fresh.ResultCode(), 106);
}

}  // namespace
}  // namespace ka::test
