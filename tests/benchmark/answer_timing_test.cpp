#include "answer_timing.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

constexpr DWORD kBusyMs = 300;

// As a window whose thread is busy between pumps: every message waits.
LRESULT CALLBACK SlowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NULL) Sleep(kBusyMs);
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

TEST(AnswerMeter, TimesEveryAnswerAndCountsNoneOnceTheWindowIsGone) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = SlowProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"ZEM7SlowWindow";
  ASSERT_TRUE(RegisterClassW(&windowClass));
  std::promise<HWND> created;
  std::thread owner([&created] {
    created.set_value(CreateWindowExW(0, L"ZEM7SlowWindow", L"slow", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  });
  HWND window = created.get_future().get();
  ASSERT_NE(window, nullptr);
  AnswerMeter meter(window);
  Sleep(1000);
  PostMessageW(window, WM_CLOSE, 0, 0);
  owner.join();
  Sleep(200);  // calls to the destroyed window, which must not count
  AnswerTimes times = meter.Stop();
  EXPECT_GE(times.pings, 2);
  EXPECT_EQ(times.over250Ms, times.pings);
  EXPECT_GE(times.longestSeconds, kBusyMs / 1000.0 - 0.02);
}
