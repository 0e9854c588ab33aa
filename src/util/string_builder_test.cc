#include "util/string_builder.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "support/error_of.h"
#include "util/numbered_error.h"

namespace {

cStringBuilder BuilderWith(const std::string& text) {
  cStringBuilder builder;
  builder.Append(text);
  return builder;
}

TEST(StringBuilderTest, NewBuilderIsEmptyWithDefaultChunk) {
  cStringBuilder builder;
  EXPECT_EQ(builder.Length(), 0);
  EXPECT_EQ(builder.Capacity(), 0);
  EXPECT_EQ(builder.ChunkSize(), 8192);
  EXPECT_EQ(builder.ToString(), "");
}

struct GrowthCase {
  int32_t appended;
  int32_t capacity;
};
void PrintTo(const GrowthCase& c, std::ostream* o) { *o << c.appended << " -> " << c.capacity; }

class StringBuilderGrowthTest : public testing::TestWithParam<GrowthCase> {};

TEST_P(StringBuilderGrowthTest, GrowsByWholeChunks) {
  cStringBuilder builder;
  builder.Append(std::string(GetParam().appended, 'x'));
  EXPECT_EQ(builder.Length(), GetParam().appended);
  EXPECT_EQ(builder.Capacity(), GetParam().capacity);
}

INSTANTIATE_TEST_SUITE_P(Appends, StringBuilderGrowthTest,
                         testing::Values(GrowthCase{0, 0}, GrowthCase{1, 8192},
                                         GrowthCase{8192, 8192}, GrowthCase{8193, 16384},
                                         GrowthCase{20000, 24576}));

TEST(StringBuilderTest, ManySmallAppendsGrowLinearlyAndKeepOrder) {
  cStringBuilder builder;
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    const std::string piece(1, static_cast<char>('a' + i % 26));
    builder.Append(piece);
    expected += piece;
  }
  EXPECT_EQ(builder.Capacity(), 24576);  // three chunks, never doubled
  EXPECT_EQ(builder.ToString(), expected);
}

TEST(StringBuilderTest, KeepsEveryByteUnchanged) {
  const std::string bytes("a\0b\xff\r\n\x0c", 7);
  cStringBuilder builder;
  builder.Append(bytes);
  builder.AppendByVal(bytes);
  EXPECT_EQ(builder.Length(), 14);
  EXPECT_EQ(builder.ToString(), bytes + bytes);
}

TEST(StringBuilderTest, EmptyTheStringReleasesAllStorage) {
  cStringBuilder builder = BuilderWith(std::string(9000, 'x'));
  builder.SetTheString("");
  EXPECT_EQ(builder.Length(), 0);
  EXPECT_EQ(builder.Capacity(), 0);
  EXPECT_EQ(builder.ToString(), "");
}

TEST(StringBuilderTest, ShorterTheStringKeepsCapacity) {
  cStringBuilder builder = BuilderWith(std::string(9000, 'x'));
  ASSERT_EQ(builder.Capacity(), 16384);
  builder.SetTheString("abc");
  EXPECT_EQ(builder.Length(), 3);
  EXPECT_EQ(builder.Capacity(), 16384);
  EXPECT_EQ(builder.ToString(), "abc");
}

struct InsertCase {
  int32_t index;
  std::string inserted;
  std::string result;
};
void PrintTo(const InsertCase& c, std::ostream* o) { *o << c.index << " " << c.inserted; }

class StringBuilderInsertTest : public testing::TestWithParam<InsertCase> {};

TEST_P(StringBuilderInsertTest, PutsTextBeforeIndex) {
  cStringBuilder builder = BuilderWith("abc");
  builder.Insert(GetParam().index, GetParam().inserted);
  EXPECT_EQ(builder.ToString(), GetParam().result);
  cStringBuilder by_value = BuilderWith("abc");
  by_value.InsertByVal(GetParam().index, GetParam().inserted);
  EXPECT_EQ(by_value.ToString(), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Indexes, StringBuilderInsertTest,
                         testing::Values(InsertCase{3, "XY", "abcXY"}, InsertCase{0, "XY", "XYabc"},
                                         InsertCase{1, "XY", "aXYbc"}, InsertCase{2, "", "abc"}));

TEST(StringBuilderTest, InsertAcrossGrowthMovesTheTail) {
  cStringBuilder builder;
  builder.SetChunkSize(4);
  builder.Append("abcd");
  builder.Insert(1, "XYZ");
  EXPECT_EQ(builder.ToString(), "aXYZbcd");
  EXPECT_EQ(builder.Capacity(), 8);
}

TEST(StringBuilderTest, InsertOutsideTheTextFailsAndChangesNothing) {
  cStringBuilder builder = BuilderWith("abc");
  EXPECT_EQ(ErrorOf([&] { builder.Insert(4, "X"); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(ErrorOf([&] { builder.Insert(-1, "X"); }), kErrSubscriptOutOfRange);
  EXPECT_EQ(builder.ToString(), "abc");
  EXPECT_EQ(builder.Capacity(), 8192);
}

struct RemoveCase {
  int32_t index;
  int32_t length;
  std::string result;  // the text afterwards
  int error;           // 0 when the removal succeeds
};
void PrintTo(const RemoveCase& c, std::ostream* o) { *o << c.index << " " << c.length; }

class StringBuilderRemoveTest : public testing::TestWithParam<RemoveCase> {};

TEST_P(StringBuilderRemoveTest, RemovesInsideTheTextOnly) {
  cStringBuilder builder = BuilderWith("abc");
  EXPECT_EQ(ErrorOf([&] { builder.Remove(GetParam().index, GetParam().length); }),
            GetParam().error);
  EXPECT_EQ(builder.ToString(), GetParam().result);
  EXPECT_EQ(builder.Capacity(), 8192);
}

INSTANTIATE_TEST_SUITE_P(Ranges, StringBuilderRemoveTest,
                         testing::Values(RemoveCase{1, 1, "ac", 0}, RemoveCase{0, 3, "", 0},
                                         RemoveCase{3, 0, "abc", 0}, RemoveCase{0, 0, "abc", 0},
                                         RemoveCase{2, 2, "abc", kErrSubscriptOutOfRange},
                                         RemoveCase{4, 0, "abc", kErrSubscriptOutOfRange},
                                         RemoveCase{-1, 1, "abc", kErrSubscriptOutOfRange},
                                         RemoveCase{1, -1, "abc", kErrSubscriptOutOfRange},
                                         RemoveCase{1, INT32_MAX, "abc", kErrSubscriptOutOfRange}));

struct FindCase {
  std::string needle;
  int32_t start;
  int compare;
  int32_t position;
};
void PrintTo(const FindCase& c, std::ostream* o) {
  *o << c.needle << " " << c.start << " " << c.compare;
}

class StringBuilderFindTest : public testing::TestWithParam<FindCase> {};

TEST_P(StringBuilderFindTest, FindsWithinTheTextOnly) {
  // "abc" with the left-over "d" of "abcd" in the reserve right after it.
  cStringBuilder builder = BuilderWith("abcd");
  builder.Remove(3, 1);
  EXPECT_EQ(builder.Find(GetParam().needle, GetParam().start, GetParam().compare),
            GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(
    Searches, StringBuilderFindTest,
    testing::Values(FindCase{"b", 1, 1, 2}, FindCase{"c", 1, 1, 3}, FindCase{"A", 1, 1, 1},
                    FindCase{"A", 1, 0, 0}, FindCase{"a", 1, 0, 1}, FindCase{"B", 1, 2, 2},
                    FindCase{"b", 3, 1, 0}, FindCase{"b", 0, 1, 2}, FindCase{"b", -5, 1, 2},
                    FindCase{"cd", 1, 1, 0}, FindCase{"abc", 1, 0, 1}, FindCase{"abcd", 1, 1, 0},
                    FindCase{"c", 3, 1, 3}, FindCase{"c", 4, 1, 0}, FindCase{"c", INT32_MAX, 1, 0},
                    FindCase{"", 2, 1, 2}, FindCase{"", 4, 1, 0}));

TEST(StringBuilderTest, FindUsesDefaultsAndFindsNothingInEmptyText) {
  cStringBuilder builder = BuilderWith("xAbA");
  EXPECT_EQ(builder.Find("ab"), 2);
  EXPECT_EQ(builder.Find("a", 3), 4);
  cStringBuilder empty;
  EXPECT_EQ(empty.Find("a"), 0);
  EXPECT_EQ(empty.Find(""), 0);
}

TEST(StringBuilderTest, FindIgnoresCaseOfAsciiLettersOnly) {
  cStringBuilder builder = BuilderWith("x\xe9y[");
  EXPECT_EQ(builder.Find("\xc9"), 0);  // bytes above 127 compare exactly
  EXPECT_EQ(builder.Find("{"), 0);     // '[' and '{' differ by the case bit but are no letters
  EXPECT_EQ(builder.Find("X\xe9Y"), 1);
}

struct MinimizeCase {
  int32_t length;
  int32_t capacity_before;
  int32_t capacity_after;
};
void PrintTo(const MinimizeCase& c, std::ostream* o) { *o << c.length << " " << c.capacity_before; }

class StringBuilderHeapMinimizeTest : public testing::TestWithParam<MinimizeCase> {};

TEST_P(StringBuilderHeapMinimizeTest, LeavesAtMostOneChunkOfReserve) {
  cStringBuilder builder = BuilderWith(std::string(GetParam().capacity_before, 'x'));
  builder.Remove(GetParam().length, GetParam().capacity_before - GetParam().length);
  builder.HeapMinimize();
  EXPECT_EQ(builder.Capacity(), GetParam().capacity_after);
  EXPECT_EQ(builder.ToString(), std::string(GetParam().length, 'x'));
}

INSTANTIATE_TEST_SUITE_P(
    Reserves, StringBuilderHeapMinimizeTest,
    testing::Values(MinimizeCase{10, 24576, 8192}, MinimizeCase{8202, 24576, 16384},
                    MinimizeCase{16384, 24576, 24576}, MinimizeCase{16383, 24576, 16384},
                    MinimizeCase{0, 16384, 8192}, MinimizeCase{8192, 8192, 8192}));

TEST(StringBuilderTest, TextStaysUsableAfterHeapMinimize) {
  cStringBuilder builder = BuilderWith(std::string(24576, 'x'));
  builder.Remove(5, 24571);
  builder.HeapMinimize();
  builder.Append("yz");
  EXPECT_EQ(builder.ToString(), "xxxxxyz");
  EXPECT_EQ(builder.Capacity(), 8192);
}

TEST(StringBuilderTest, ChunkSizeAppliesToLaterGrowth) {
  cStringBuilder builder;
  builder.SetChunkSize(100);
  EXPECT_EQ(builder.ChunkSize(), 100);
  builder.Append("x");
  EXPECT_EQ(builder.Capacity(), 100);
  builder.SetChunkSize(7);
  builder.Append(std::string(100, 'y'));
  EXPECT_EQ(builder.Capacity(), 107);
}

struct ChunkSizeCase {
  int32_t chunk_size;
  int error;
};
void PrintTo(const ChunkSizeCase& c, std::ostream* o) { *o << c.chunk_size; }

class StringBuilderChunkSizeTest : public testing::TestWithParam<ChunkSizeCase> {};

TEST_P(StringBuilderChunkSizeTest, RefusesStepsThatCannotGrowOrCount) {
  cStringBuilder builder = BuilderWith("abc");
  EXPECT_EQ(ErrorOf([&] { builder.SetChunkSize(GetParam().chunk_size); }), GetParam().error);
  EXPECT_EQ(builder.ChunkSize(), GetParam().error == 0 ? GetParam().chunk_size : 8192);
  EXPECT_EQ(builder.ToString(), "abc");
}

INSTANTIATE_TEST_SUITE_P(Values, StringBuilderChunkSizeTest,
                         testing::Values(ChunkSizeCase{1, 0}, ChunkSizeCase{1073741823, 0},
                                         ChunkSizeCase{1073741824, kErrOverflow},
                                         ChunkSizeCase{INT32_MAX, kErrOverflow},
                                         ChunkSizeCase{0, kErrInvalidPropertyValue},
                                         ChunkSizeCase{-1, kErrInvalidPropertyValue},
                                         ChunkSizeCase{INT32_MIN, kErrInvalidPropertyValue}));

}  // namespace
