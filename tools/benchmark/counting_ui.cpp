#include "counting_ui.h"

#include <windows.h>

int CountingUi::ShowMessage(const Message& text, TextId title, unsigned style) {
  messages.push_back(TextIn(Language::English, title) + ": " + text.English());
  // Error reports have only OK; a question is declined so that nothing more is done.
  return (style & 0xF) == MB_OK ? IDOK : IDNO;
}

void CountingUi::PrependProgressText(const std::string& entry) {
  // "<time> : <percent> : <text>\r\n"
  size_t first = entry.find(" : ");
  size_t second = first == std::string::npos ? first : entry.find(" : ", first + 3);
  std::string text = second == std::string::npos ? entry : entry.substr(second + 3);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  entries.push_back(std::move(text));
}
