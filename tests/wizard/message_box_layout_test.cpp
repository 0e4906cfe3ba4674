// message_box_layout_test.cpp: the message box's sizing arithmetic on
// ordinary, short, empty and malformed texts.
#include "wizard/message_box_layout.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/wide_string.h"

TEST(CMessageBoxLayoutTest, VisibleLengthStaysWithinTheText) {
  const struct {
    const wchar_t* text;
    int visible;
  } kCases[] = {
      {L"", 0},
      {L"x", 1},
      {L"Hello", 5},
      // 23 characters; "<a" at 4, "\">" at 14.
      {L"See <a href=\"x\">log</a>", 17},
      // No end of the opening tag, or one before it: nothing is taken off.
      {L"<a>log file</a>", 15},
      {L"x\">y<a", 6},
      {L"<a", 2},
      // The shortest tag would count more than the text holds.
      {L"<a\">", 4},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.visible, VisibleMessageLength(c.text)) << WideToUtf8(c.text);
}

TEST(CMessageBoxLayoutTest, CharacterWidthAndLineLimit) {
  const struct {
    int extent, visible, fontAverage, width;
  } kWidths[] = {
      {100, 10, 7, 10},  // (100 / 5 + 1) / 2
      {61, 11, 7, 6},    // (61 / 5 + 1) / 2
      {6, 1, 7, 7},      // too short to measure: the font's average
      {0, 0, 7, 7},
      {0, 0, 0, 1},
  };
  for (const auto& c : kWidths) {
    EXPECT_EQ(c.width, AverageCharWidth(c.extent, c.visible, c.fontAverage)) << c.extent << "/" << c.visible;
  }
  const struct {
    int screen, control, length;
  } kLimits[] = {
      {1024, 290, 58},  // 512 * 33 / 291
      {1280, 290, 61},  // 640 * 28 / 291: wider screens wrap earlier
      {800, 0, 13200},
      {100, 5000, 1},   // never below one character
      {1024, -1, 16896},
  };
  for (const auto& c : kLimits) {
    EXPECT_EQ(c.length, MaxLineLength(c.screen, c.control)) << c.screen << "/" << c.control;
  }
}

TEST(CMessageBoxLayoutTest, LinesBreakAtBlanksAndCountTheLinkText) {
  const struct {
    const wchar_t* text;
    int maxLength;
    std::vector<std::wstring> lines;
    int count, longest;
  } kCases[] = {
      {L"one two three", 8, {L"one two", L"three"}, 2, 7},
      // The blank must stand within the first m characters.
      {L"one two three", 7, {L"one", L"two", L"three"}, 3, 5},
      {L"one two three", 80, {L"one two three"}, 1, 13},
      // No blank within the limit: the first blank after it.
      {L"abcdefghij klm", 4, {L"abcdefghij", L"klm"}, 2, 4},
      {L"abcdefghij", 3, {L"abcdefghij"}, 1, 3},
      {L"first\nsecond line", 80, {L"first", L"second line"}, 2, 11},
      {L"", 10, {L""}, 1, 0},
      {L"\n", 10, {L"", L""}, 2, 0},
      {L"a b", 0, {L"a", L"b"}, 2, 1},
      // The link's text is measured, its tags are not.
      {L"See the <a href=\"x\">log file</a>.", 80, {L"See the log file."}, 1, 17},
      {L"Text\n<a href=\"x\">log file</a>", 80, {L"Text", L"log file"}, 2, 8},
      {L"<a>log file</a> and <a id=\"b\">more</a>", 80, {L"log file and more"}, 1, 17},
      // Tags that never close are shown as they stand.
      {L"<a", 80, {L"<a"}, 1, 2},
      {L"a < b <a href", 80, {L"a < b <a href"}, 1, 13},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.lines, BreakMessageLines(c.text, c.maxLength)) << WideToUtf8(c.text);
    int count = -1, longest = -1;
    MeasureMessageLines(c.text, c.maxLength, &count, &longest);
    EXPECT_EQ(c.count, count) << WideToUtf8(c.text);
    EXPECT_EQ(c.longest, longest) << WideToUtf8(c.text);
  }
}

TEST(CMessageBoxLayoutTest, BoxFitsTheMessageAndCentresButtons) {
  CMessageBoxMeasures measures;
  measures.window = {100, 100, 386, 214};  // 286 x 114
  measures.control = {51, 15, 268, 41};    // 217 x 26
  measures.buttonWidth = 75;
  measures.firstButtonTop = 72;
  measures.screenWidth = 1024;
  measures.screenHeight = 768;
  measures.charWidth = 6;
  const struct {
    int buttons, lineLength, lines;
    int boxWidth, boxHeight, messageWidth, messageHeight, buttonTop;
    std::vector<int> lefts;
  } kCases[] = {
      // 286 - 217 + 6 * 50 = 369 wide; 114 - 41 + 27 + 15 = 115 high.
      {1, 50, 2, 369, 115, 300, 27, 74, {147}},
      {2, 50, 2, 369, 115, 300, 27, 74, {101, 192}},
      {3, 50, 2, 369, 115, 300, 27, 74, {56, 147, 238}},
      // A short message: the buttons' span sets the width (3 * 75 + 32 + 32).
      {3, 3, 1, 289, 101, 18, 13, 60, {16, 107, 198}},
      {1, 0, 1, 107, 101, 0, 13, 60, {16}},
      {0, 0, 0, 69, 88, 0, 0, 47, {}},
  };
  for (const auto& c : kCases) {
    measures.buttonCount = c.buttons;
    measures.lineLength = c.lineLength;
    measures.lineCount = c.lines;
    CMessageBoxLayout layout = ComputeMessageBoxLayout(measures);
    EXPECT_EQ(c.messageWidth, layout.messageWidth) << c.buttons << "/" << c.lineLength;
    EXPECT_EQ(c.messageHeight, layout.messageHeight) << c.buttons << "/" << c.lineLength;
    EXPECT_EQ(c.boxWidth, layout.boxWidth) << c.buttons << "/" << c.lineLength;
    EXPECT_EQ(c.boxHeight, layout.boxHeight) << c.buttons << "/" << c.lineLength;
    EXPECT_EQ(c.buttonTop, layout.buttonTop) << c.buttons << "/" << c.lineLength;
    EXPECT_EQ(c.lefts, layout.buttonLefts) << c.buttons << "/" << c.lineLength;
    EXPECT_EQ((1024 - c.boxWidth) / 2, layout.boxLeft);
    EXPECT_EQ((768 - c.boxHeight) / 2, layout.boxTop);
  }
  // The widest line as drawn wins over an estimate that falls short.
  measures.buttonCount = 1;
  measures.lineLength = 50;
  measures.lineCount = 1;
  measures.textWidth = 310;
  EXPECT_EQ(310, ComputeMessageBoxLayout(measures).messageWidth);
  measures.textWidth = 290;
  EXPECT_EQ(300, ComputeMessageBoxLayout(measures).messageWidth);
}

// A box of 300 x 100 over its owner, kept inside the work area.
TEST(CMessageBoxLayoutTest, BoxIsCentredOnItsOwnerWithinTheWorkArea) {
  const CLayoutRect work = {0, 0, 1280, 984};
  const struct {
    CLayoutRect around, workArea;
    int left, top;
  } kCases[] = {
      {{0, 0, 774, 534}, work, 237, 217},        // the wizard at the top left
      {{0, 0, 1280, 1024}, {}, 490, 462},        // the screen, no bound
      {{1000, 900, 1400, 1100}, work, 980, 884},  // pushed back inside
      {{-200, -50, 100, 50}, work, 0, 0},
      {{0, 0, 200, 50}, {0, 0, 250, 80}, 0, 0},  // larger than the area: its corner in view
  };
  for (const auto& c : kCases) {
    int left = -1;
    int top = -1;
    CentreBox(c.around, 300, 100, c.workArea, &left, &top);
    EXPECT_EQ(c.left, left) << c.around.left << "," << c.around.top;
    EXPECT_EQ(c.top, top) << c.around.left << "," << c.around.top;
  }
  CMessageBoxMeasures measures;
  measures.window = {0, 0, 286, 114};
  measures.control = {51, 15, 268, 41};
  measures.buttonCount = 1;
  measures.buttonWidth = 75;
  measures.screenWidth = 1280;
  measures.screenHeight = 1024;
  measures.charWidth = 6;
  measures.lineLength = 50;
  measures.lineCount = 2;
  measures.owner = {0, 0, 774, 534};
  measures.workArea = work;
  CMessageBoxLayout layout = ComputeMessageBoxLayout(measures);
  EXPECT_EQ((774 - layout.boxWidth) / 2, layout.boxLeft);
  EXPECT_EQ((534 - layout.boxHeight) / 2, layout.boxTop);
}
