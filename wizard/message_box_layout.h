#pragma once
// message_box_layout.h: the arithmetic that sizes the program's message box
// to its text. Pure: the box measures, these functions decide.
#include <string>
#include <vector>

// Characters of the message a reader sees: the link's opening tag does not
// count. Always within 0..length.
int VisibleMessageLength(const std::wstring& message);

// Average character width from the extent of the first `visibleLength`
// characters; `fontAverageWidth` stands in when there are too few to measure.
int AverageCharWidth(int extent, int visibleLength, int fontAverageWidth);

// The longest line, in characters, the box allows on this screen (at least 1).
int MaxLineLength(int screenWidth, int controlWidth);

// The lines of the text as shown (the link's text without its tags), split
// at "\n" and broken at blanks so that lines stay within `maxLength` where a
// blank allows it.
std::vector<std::wstring> BreakMessageLines(const std::wstring& message, int maxLength);

struct CLayoutRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

struct CMessageBoxMeasures {
  CLayoutRect window;       // the box, screen coordinates
  CLayoutRect control;      // the message control, client coordinates
  int buttonCount = 0;      // 0 to 3
  int buttonWidth = 0;
  int firstButtonTop = 0;   // client coordinates
  int screenWidth = 0;
  int screenHeight = 0;
  CLayoutRect owner;        // the window the box speaks for; empty: the screen
  CLayoutRect workArea;     // where the box must stay whole; empty: no bound
  int charWidth = 0;        // AverageCharWidth
  int lineLength = 0;       // the longest line, in characters
  int lineCount = 0;
  int textWidth = 0;        // the widest line as drawn, when measured
};

struct CMessageBoxLayout {
  int messageWidth = 0;
  int messageHeight = 0;
  int boxWidth = 0;
  int boxHeight = 0;
  int boxLeft = 0;          // centred on the owner, else on the screen
  int boxTop = 0;
  int buttonTop = 0;
  std::vector<int> buttonLefts;
};

CMessageBoxLayout ComputeMessageBoxLayout(const CMessageBoxMeasures& measures);

// The top left corner of a box of the size centred on `around`, moved into
// `workArea` where it would stand out of it (its top left corner kept in
// view when the box is larger). An empty work area sets no bound.
void CentreBox(const CLayoutRect& around, int width, int height, const CLayoutRect& workArea, int* left, int* top);

// The line count and longest line (at most `maxLength`) of a message.
void MeasureMessageLines(const std::wstring& message, int maxLength, int* lineCount, int* lineLength);
