#pragma once
// The benchmark's figures: the clock they are taken with, and their text on standard output.
#include <cstdint>
#include <functional>
#include <string>

// Seconds on the performance counter.
double Now();
double Timed(const std::function<void()>& work);

void Print(const std::string& text);
std::string Fixed(double value, int decimals = 3);
// At least `width` characters, and always one blank after the text.
std::string Padded(const std::string& text, size_t width);
std::string Megabytes(uint64_t bytes);
std::string Verdict(bool met);
