#include "wait_meter.h"

#include <cstring>

#include "figures.h"

namespace {

using SleepFunction = VOID(WINAPI*)(DWORD);
using EventWaitFunction = DWORD(WINAPI*)(DWORD, const HANDLE*, DWORD, DWORD, DWORD);

SleepFunction realSleep = nullptr;
EventWaitFunction realEventWait = nullptr;
// Only the thread the steps run on is measured: the benchmark's own helper
// threads wait too, and the tallies are no place to meet them.
DWORD meteredThread = 0;
WaitTallies tallies;

void Count(WaitTally& tally, double start) {
  ++tally.count;
  tally.seconds += Now() - start;
}

VOID WINAPI TimedSleep(DWORD milliseconds) {
  if (GetCurrentThreadId() != meteredThread) return realSleep(milliseconds);
  double start = Now();
  realSleep(milliseconds);
  Count(tallies.sleeps[milliseconds], start);
}

DWORD WINAPI TimedEventWait(DWORD count, const HANDLE* handles, DWORD milliseconds, DWORD wakeMask, DWORD flags) {
  if (GetCurrentThreadId() != meteredThread) return realEventWait(count, handles, milliseconds, wakeMask, flags);
  double start = Now();
  DWORD result = realEventWait(count, handles, milliseconds, wakeMask, flags);
  Count(tallies.events, start);
  return result;
}

template <typename T>
T* At(BYTE* base, DWORD offset) {
  return reinterpret_cast<T*>(base + offset);
}

// The installer's code is linked into this program, so its calls go through
// this program's import table: the one slot per function to redirect.
ULONG_PTR* FindImportSlot(const char* dll, const char* function) {
  auto base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto nt = At<IMAGE_NT_HEADERS>(base, static_cast<DWORD>(reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew));
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto module = At<IMAGE_IMPORT_DESCRIPTOR>(base, imports.VirtualAddress); module->Name; ++module) {
    if (_stricmp(At<char>(base, module->Name), dll) != 0 || !module->OriginalFirstThunk) continue;
    auto names = At<IMAGE_THUNK_DATA>(base, module->OriginalFirstThunk);
    auto slots = At<IMAGE_THUNK_DATA>(base, module->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto import = At<IMAGE_IMPORT_BY_NAME>(base, static_cast<DWORD>(names->u1.AddressOfData));
      if (strcmp(reinterpret_cast<char*>(import->Name), function) == 0) return &slots->u1.Function;
    }
  }
  return nullptr;
}

// Puts `replacement` into the slot and hands back what was there.
template <typename Function>
bool Redirect(ULONG_PTR* slot, Function replacement, Function& original) {
  DWORD previous = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous)) return false;
  original = reinterpret_cast<Function>(*slot);
  *slot = reinterpret_cast<ULONG_PTR>(replacement);
  VirtualProtect(slot, sizeof *slot, previous, &previous);
  return true;
}

void Subtract(WaitTally& tally, const WaitTally& earlier) {
  tally.count -= earlier.count;
  tally.seconds -= earlier.seconds;
}

}  // namespace

double WaitTallies::Seconds() const {
  double seconds = events.seconds;
  for (const auto& [milliseconds, tally] : sleeps) seconds += tally.seconds;
  return seconds;
}

unsigned WaitTallies::SleepCount() const {
  unsigned count = 0;
  for (const auto& [milliseconds, tally] : sleeps) count += tally.count;
  return count;
}

bool StartWaitMeter() {
  if (realSleep) return true;
  ULONG_PTR* sleepSlot = FindImportSlot("kernel32.dll", "Sleep");
  ULONG_PTR* eventSlot = FindImportSlot("user32.dll", "MsgWaitForMultipleObjectsEx");
  if (!sleepSlot || !eventSlot) return false;
  meteredThread = GetCurrentThreadId();
  return Redirect(sleepSlot, &TimedSleep, realSleep) && Redirect(eventSlot, &TimedEventWait, realEventWait);
}

WaitTallies WaitReading() { return tallies; }

WaitTallies Difference(const WaitTallies& after, const WaitTallies& before) {
  WaitTallies difference = after;
  Subtract(difference.events, before.events);
  for (const auto& [milliseconds, earlier] : before.sleeps) Subtract(difference.sleeps[milliseconds], earlier);
  std::erase_if(difference.sleeps, [](const auto& entry) { return entry.second.count == 0; });
  return difference;
}
