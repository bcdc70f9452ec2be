#include "sleep_meter.h"

#include <cstring>

namespace {

using SleepFunction = VOID(WINAPI*)(DWORD);

SleepFunction realSleep = nullptr;
SleepTallies tallies;

double Now() {
  static const double ticksPerSecond = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / ticksPerSecond;
}

VOID WINAPI TimedSleep(DWORD milliseconds) {
  double start = Now();
  realSleep(milliseconds);
  SleepTally& tally = tallies[milliseconds];
  ++tally.count;
  tally.seconds += Now() - start;
}

template <typename T>
T* At(BYTE* base, DWORD offset) {
  return reinterpret_cast<T*>(base + offset);
}

// The installer's code is linked into this program, so its calls to Sleep go
// through this program's import table: the one slot to redirect.
ULONG_PTR* FindSleepSlot() {
  auto base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto nt = At<IMAGE_NT_HEADERS>(base, static_cast<DWORD>(reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew));
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto module = At<IMAGE_IMPORT_DESCRIPTOR>(base, imports.VirtualAddress); module->Name; ++module) {
    if (_stricmp(At<char>(base, module->Name), "kernel32.dll") != 0 || !module->OriginalFirstThunk) continue;
    auto names = At<IMAGE_THUNK_DATA>(base, module->OriginalFirstThunk);
    auto slots = At<IMAGE_THUNK_DATA>(base, module->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto import = At<IMAGE_IMPORT_BY_NAME>(base, static_cast<DWORD>(names->u1.AddressOfData));
      if (strcmp(reinterpret_cast<char*>(import->Name), "Sleep") == 0) return &slots->u1.Function;
    }
  }
  return nullptr;
}

}  // namespace

bool StartSleepMeter() {
  if (realSleep) return true;
  ULONG_PTR* slot = FindSleepSlot();
  if (!slot) return false;
  DWORD previous = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous)) return false;
  realSleep = reinterpret_cast<SleepFunction>(*slot);
  *slot = reinterpret_cast<ULONG_PTR>(&TimedSleep);
  VirtualProtect(slot, sizeof *slot, previous, &previous);
  return true;
}

SleepTallies SleepReading() { return tallies; }

SleepTallies Difference(const SleepTallies& after, const SleepTallies& before) {
  SleepTallies difference;
  for (const auto& [milliseconds, tally] : after) {
    SleepTally earlier = before.contains(milliseconds) ? before.at(milliseconds) : SleepTally{};
    if (tally.count == earlier.count) continue;
    difference[milliseconds] = {tally.count - earlier.count, tally.seconds - earlier.seconds};
  }
  return difference;
}

double TotalSeconds(const SleepTallies& readings) {
  double seconds = 0;
  for (const auto& [milliseconds, tally] : readings) seconds += tally.seconds;
  return seconds;
}
