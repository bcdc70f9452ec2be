#include "counting_ui.h"

#include <windows.h>

int CountingUi::ShowMessage(const Message& text, TextId title, unsigned style) {
  messages.push_back(TextIn(Language::English, title) + ": " + text.English());
  // Error reports have only OK; a question is declined so that nothing more is done.
  return (style & 0xF) == MB_OK ? IDOK : IDNO;
}

void CountingUi::PrependProgressText(const std::string&, const Message& text) { entries.push_back(text.English()); }
