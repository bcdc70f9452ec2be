#include "answer_timing.h"

#include <algorithm>
#include <future>

#include "figures.h"

namespace {

constexpr DWORD kPingIntervalMs = 50;
constexpr UINT kAnswerLimitMs = 30000;
constexpr double kNoticeableSeconds = 0.25;

}  // namespace

AnswerMeter::AnswerMeter(HWND window)
    : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), thread_([this, window] { Ping(window); }) {}

AnswerMeter::~AnswerMeter() { Stop(); }

AnswerTimes AnswerMeter::Stop() {
  if (thread_.joinable()) {
    SetEvent(stop_.Get());
    thread_.join();
  }
  return times_;
}

// SMTO_NORMAL, not SMTO_ABORTIFHUNG: a window that does not answer for
// seconds is exactly what is measured, not a reason to stop asking.
void AnswerMeter::Ping(HWND window) {
  do {
    DWORD_PTR result = 0;
    double start = Now();
    LRESULT answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerLimitMs, &result);
    double seconds = Now() - start;
    if (!answered && !IsWindow(window)) return;
    ++times_.pings;
    if (seconds > kNoticeableSeconds) ++times_.over250Ms;
    times_.longestSeconds = std::max(times_.longestSeconds, seconds);
  } while (WaitForSingleObject(stop_.Get(), kPingIntervalMs) == WAIT_TIMEOUT);
}

PumpingWindowMeter::PumpingWindowMeter() {
  std::promise<HWND> created;
  std::future<HWND> ready = created.get_future();
  pump_ = std::thread([&created] {
    HWND window = CreateWindowExW(0, L"STATIC", L"pump", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    created.set_value(window);
    if (!window) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    DestroyWindow(window);
  });
  window_ = ready.get();
  if (window_) meter_.emplace(window_);
}

PumpingWindowMeter::~PumpingWindowMeter() { Stop(); }

AnswerTimes PumpingWindowMeter::Stop() {
  if (meter_) {
    times_ = meter_->Stop();
    meter_.reset();
  }
  if (pump_.joinable()) {
    if (window_) PostMessageW(window_, WM_QUIT, 0, 0);
    pump_.join();
  }
  return times_;
}
