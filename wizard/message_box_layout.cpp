// message_box_layout.cpp: line breaking and box geometry of the message box.
// Short, empty and odd texts (a link tag without its end) must size a box
// too, so every count is clamped to the text it came from.
#include "wizard/message_box_layout.h"

#include <algorithm>

namespace {

const wchar_t kLinkStart[] = L"<a";
const wchar_t kLinkTagEnd[] = L"\">";
const wchar_t kLinkEnd[] = L"</a>";
const int kButtonGap = 16;
const int kButtonMargin = 32;

// The text as the link control shows it: the link's tags taken out, its
// text kept. A tag that never closes is shown as it stands.
std::wstring ShownText(const std::wstring& message) {
  std::wstring shown;
  size_t position = 0;
  for (;;) {
    size_t open = message.find(L'<', position);
    if (open == std::wstring::npos) break;
    bool opening = message.compare(open, 2, kLinkStart) == 0;
    bool closing = message.compare(open, 4, kLinkEnd) == 0;
    size_t close = message.find(L'>', open);
    if ((!opening && !closing) || close == std::wstring::npos) {
      shown.append(message, position, open + 1 - position);
      position = open + 1;
      continue;
    }
    shown.append(message, position, open - position);
    position = close + 1;
  }
  shown.append(message, position, std::wstring::npos);
  return shown;
}

}  // namespace

int VisibleMessageLength(const std::wstring& message) {
  int length = static_cast<int>(message.size());
  size_t link = message.find(kLinkStart);
  if (link == std::wstring::npos) return length;
  // Only a tag that closes after it opens is taken off.
  size_t tagEnd = message.find(kLinkTagEnd, link);
  if (tagEnd == std::wstring::npos) return length;
  int visible = length + static_cast<int>(link) - static_cast<int>(tagEnd) + 4;
  return std::clamp(visible, 0, length);
}

int AverageCharWidth(int extent, int visibleLength, int fontAverageWidth) {
  if (visibleLength < 2) return std::max(fontAverageWidth, 1);
  return (extent / (visibleLength / 2) + 1) / 2;
}

int MaxLineLength(int screenWidth, int controlWidth) {
  int factor = screenWidth > 1024 ? 28 : 33;
  int length = screenWidth / 2 * factor / std::max(controlWidth + 1, 1);
  return std::max(length, 1);
}

std::vector<std::wstring> BreakMessageLines(const std::wstring& message, int maxLength) {
  maxLength = std::max(maxLength, 1);
  std::vector<std::wstring> lines;
  std::wstring text = ShownText(message);
  size_t start = 0;
  for (;;) {
    size_t end = text.find(L'\n', start);
    std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    while (static_cast<int>(line.size()) > maxLength) {
      size_t blank = line.rfind(L' ', static_cast<size_t>(maxLength) - 1);
      if (blank == std::wstring::npos) blank = line.find(L' ', static_cast<size_t>(maxLength));
      if (blank == std::wstring::npos) break;
      lines.push_back(line.substr(0, blank));
      line.erase(0, blank + 1);
    }
    lines.push_back(line);
    if (end == std::wstring::npos) return lines;
    start = end + 1;
  }
}

void MeasureMessageLines(const std::wstring& message, int maxLength, int* lineCount, int* lineLength) {
  maxLength = std::max(maxLength, 1);
  std::vector<std::wstring> lines = BreakMessageLines(message, maxLength);
  int longest = 0;
  for (const std::wstring& line : lines) longest = std::max(longest, static_cast<int>(line.size()));
  longest = std::min(longest, maxLength);
  *lineCount = static_cast<int>(lines.size());
  *lineLength = longest;
}

CMessageBoxLayout ComputeMessageBoxLayout(const CMessageBoxMeasures& measures) {
  CMessageBoxLayout layout;
  const CLayoutRect& window = measures.window;
  const CLayoutRect& control = measures.control;
  // The average width is an estimate that rounds down: the widest line as
  // drawn keeps the last word of a line from wrapping out of sight.
  layout.messageWidth = std::max(measures.charWidth * measures.lineLength, measures.textWidth);
  layout.messageHeight = (control.Height() + 1) * measures.lineCount / 2;

  int count = std::clamp(measures.buttonCount, 0, 3);
  int width = measures.buttonWidth;
  int span = count == 0 ? 0 : count * width + (count - 1) * kButtonGap;
  layout.boxWidth = std::max(window.Width() - control.Width() + layout.messageWidth, span + kButtonMargin);
  layout.boxHeight = window.Height() - control.bottom + layout.messageHeight + control.top;

  layout.buttonTop = measures.firstButtonTop - control.bottom + layout.messageHeight + control.top + 1;
  int left = (layout.boxWidth - span) / 2;
  for (int i = 0; i < count; ++i) layout.buttonLefts.push_back(left + i * (width + kButtonGap));

  CLayoutRect screen = {0, 0, measures.screenWidth, measures.screenHeight};
  const CLayoutRect& around = measures.owner.Width() > 0 && measures.owner.Height() > 0 ? measures.owner : screen;
  CentreBox(around, layout.boxWidth, layout.boxHeight, measures.workArea, &layout.boxLeft, &layout.boxTop);
  return layout;
}

void CentreBox(const CLayoutRect& around, int width, int height, const CLayoutRect& workArea, int* left, int* top) {
  *left = around.left + (around.Width() - width) / 2;
  *top = around.top + (around.Height() - height) / 2;
  if (workArea.Width() <= 0 || workArea.Height() <= 0) return;
  *left = std::max(workArea.left, std::min(*left, workArea.right - width));
  *top = std::max(workArea.top, std::min(*top, workArea.bottom - height));
}
