#include "figures.h"

#include <windows.h>

#include <cstdio>

#include "support/text.h"

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Timed(const std::function<void()>& work) {
  double start = Now();
  work();
  return Now() - start;
}

void Print(const std::string& text) {
  fputs(ToAnsi(text).c_str(), stdout);
  fflush(stdout);
}

std::string Fixed(double value, int decimals) {
  char text[64];
  snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Padded(const std::string& text, size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

std::string Megabytes(uint64_t bytes) { return Fixed(static_cast<double>(bytes) / (1024 * 1024), 1) + " MB"; }

std::string Verdict(bool met) { return met ? "met   " : "MISSED"; }
