#pragma once
// Pictures of a window for tests: its pixels, and a PNG of it to keep.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct WindowPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
  COLORREF At(int x, int y) const;
};

// What the window shows on screen now, including its frame.
WindowPicture CaptureWindow(HWND window);
// Writes the picture as a PNG file (through the system's imaging codecs).
bool SavePng(const WindowPicture& picture, const std::string& path);
