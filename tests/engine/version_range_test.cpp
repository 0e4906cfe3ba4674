// version_range_test.cpp: range segments, range texts and IsVersionInRange.
#include "engine/version_range.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

CVersionInfo V(const wchar_t* text) {
  CVersionInfo version;
  if (*text) {
    EXPECT_TRUE(version.Parse(text)) << text;
  }
  return version;
}

struct RangeCase {
  const wchar_t* range;
  bool parses;
  const wchar_t* printed;
  const wchar_t* inside;   // ';'-free list of versions, ' '-separated
  const wchar_t* outside;
};

const RangeCase kRangeCases[] = {
    {L"1.0-1.5;2.0", true, L"1.0-1.5,2.0-2.0", L"1.0 1.2.9 1.5 1.5.0.0 2.0", L"0.9 1.6 1.5.0.1 2.0.1"},
    {L"4.2", true, L"4.2-4.2", L"4.2 4.2.0.0", L"4.2.0.1 4.1"},
    {L"2.0-1.0", true, L"2.0-1.0", L"", L"1.0 1.5 2.0"},
    {L"1.0-2.0;1.5-3.0", true, L"1.0-2.0,1.5-3.0", L"1.0 1.7 3.0", L"3.1"},
    {L"\"1.0-2.0\";3", true, L"1.0-2.0,3-3", L"1.5 3", L"2.5"},
    {L"1.0;;2.0", true, L"*", L"0 7.7 65535.65535.65535.65535", L""},
    {L"", true, L"", L"", L"0 1.0 99"},
    {L"1.0;", true, L"1.0-1.0", L"1.0", L"1.1"},
    {L"1.0-", false, L"", L"", L"1.0"},
    {L"-2.0", false, L"", L"", L"1.0"},
    {L"1.0;x", false, L"", L"", L"1.0"},
    {L"a-b", false, L"", L"", L"0"},
    {L"  ", false, L"", L"", L"0"},
    // The upper text is read as far as it is a version.
    {L"1.0-2.0-3.0", true, L"1.0-2.0", L"1.5", L"2.5"},
};

std::vector<std::wstring> Words(const wchar_t* text) {
  std::vector<std::wstring> words;
  std::wstring current;
  for (const wchar_t* p = text;; ++p) {
    if (*p == L' ' || *p == 0) {
      if (!current.empty()) words.push_back(current);
      current.clear();
      if (*p == 0) break;
    } else {
      current += *p;
    }
  }
  return words;
}

}  // namespace

TEST(CVersionRangeTest, ParseBuildsClosedSegmentsSplitAtSemicolons) {
  for (const RangeCase& c : kRangeCases) {
    CVersionRange range;
    range.SetSegment(V(L"9"), V(L"9"));
    EXPECT_EQ(c.parses, range.Parse(c.range)) << c.range;
    EXPECT_EQ(c.printed, range.ToString()) << c.range;
    for (const std::wstring& v : Words(c.inside)) {
      EXPECT_NE(0, range.ContainsText(v)) << c.range << L" should hold " << v;
    }
    for (const std::wstring& v : Words(c.outside)) {
      EXPECT_EQ(0, range.ContainsText(v)) << c.range << L" should not hold " << v;
    }
  }
}

TEST(CVersionRangeTest, ContainsCountsTheSegmentsThatHoldTheVersion) {
  CVersionRange range;
  ASSERT_TRUE(range.Parse(L"1.0-2.0;1.5-3.0;1.7"));
  EXPECT_EQ(3, range.Contains(V(L"1.7")));
  EXPECT_EQ(1, range.Contains(V(L"2.5")));
  EXPECT_EQ(0, range.ContainsText(L"not a version"));
}

TEST(CVersionRangeTest, SetBoundsWithOneSideGivesAHalfOpenSegment) {
  struct {
    const wchar_t* lower;
    const wchar_t* upper;
    bool taken;
    const wchar_t* printed;
    const wchar_t* inside;
    const wchar_t* outside;
  } const kCases[] = {
      {L"2.0", L"3.5", true, L"2.0-3.5", L"2.0 3.5 3.5.0.0", L"1.9 3.5.0.1"},
      {L"2.0", L"", true, L"2.0-", L"2.0 99", L"1.9.9"},
      {L"", L"3.5", true, L"-3.5", L"0 3.5", L"3.5.1 4"},
      {L"", L"", true, L"*", L"0 99", L""},
  };
  for (const auto& c : kCases) {
    CVersionRange range;
    EXPECT_EQ(c.taken, range.SetBounds(c.lower, c.upper)) << c.lower << L"|" << c.upper;
    EXPECT_EQ(c.printed, range.ToString());
    for (const std::wstring& v : Words(c.inside)) EXPECT_NE(0, range.ContainsText(v)) << v;
    for (const std::wstring& v : Words(c.outside)) EXPECT_EQ(0, range.ContainsText(v)) << v;
  }
  CVersionRange oneSided;
  ASSERT_TRUE(oneSided.SetBounds(L"2.0", L""));
  EXPECT_FALSE(oneSided.IsUnbounded());
}

TEST(CVersionRangeTest, SetBoundsWithABadTextLeavesTheRangeAsItWas) {
  CVersionRange range;
  ASSERT_TRUE(range.Parse(L"1.0-2.0"));
  EXPECT_FALSE(range.SetBounds(L"x", L"3.0"));
  EXPECT_FALSE(range.SetBounds(L"1.0", L"beta"));
  EXPECT_EQ(L"1.0-2.0", range.ToString());
}

TEST(CVersionRangeTest, UnboundedAndCopies) {
  CVersionRange range;
  EXPECT_TRUE(range.IsUnbounded());  // empty
  EXPECT_EQ(0, range.ContainsText(L"1.0"));  // ... yet holds nothing
  ASSERT_TRUE(range.Parse(L";"));
  EXPECT_TRUE(range.IsUnbounded());
  ASSERT_TRUE(range.Parse(L"1.0-2.0;3.0"));
  EXPECT_FALSE(range.IsUnbounded());
  CVersionRange copy;
  copy.CopyFrom(range);
  range.Clear();
  EXPECT_EQ(L"1.0-2.0,3.0-3.0", copy.ToString());
  const CVersionRange& same = copy;
  copy = same;
  EXPECT_EQ(2u, copy.GetSegments().size());
}

TEST(CVersionRangeTest, IsVersionInRangeTakesAnEmptyTextAsAnyVersion) {
  EXPECT_TRUE(IsVersionInRange(CVersionInfo(), nullptr));
  EXPECT_TRUE(IsVersionInRange(CVersionInfo(), L""));
  EXPECT_TRUE(IsVersionInRange(V(L"7.0"), L""));
  EXPECT_TRUE(IsVersionInRange(V(L"1.5"), L"1.0-1.5;2.0"));
  EXPECT_FALSE(IsVersionInRange(V(L"1.6"), L"1.0-1.5;2.0"));
  EXPECT_FALSE(IsVersionInRange(V(L"1.0"), L"1.0-"));  // does not parse
  EXPECT_FALSE(IsVersionInRange(CVersionInfo(), L"1.0"));
}
