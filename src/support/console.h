#pragma once
// Standard output and error for a program built as a GUI program: what it was
// given (a pipe or a file), or else the console of the program that started
// it, if any. A double-click has neither, and then nothing is written.
#include <string_view>

enum class Stream { Output, Error };

// Writes text (UTF-8) as it comes, in UTF-16 to a console and as UTF-8 elsewhere.
void WriteToConsole(Stream stream, std::string_view text);
