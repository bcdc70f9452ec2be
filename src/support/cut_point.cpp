#include "support/cut_point.h"

#include <utility>

namespace {

struct Cuts {
  bool armed = false;
  size_t cutAt = 0;
  std::vector<std::string> passed;
  std::string meddleAt;
  std::function<void()> meddle;
};

Cuts& TheCuts() {
  static Cuts cuts;
  return cuts;
}

}  // namespace

void CutPoint(const char* name) {
  Cuts& cuts = TheCuts();
  if (cuts.meddle && cuts.meddleAt == name) std::exchange(cuts.meddle, {})();
  if (!cuts.armed) return;
  cuts.passed.push_back(name);
  if (cuts.passed.size() == cuts.cutAt) throw RunCut{name};
}

namespace CutPoints {

void Arm(size_t cutAt) {
  Cuts& cuts = TheCuts();
  cuts.armed = true;
  cuts.cutAt = cutAt;
  cuts.passed.clear();
}

void Disarm() { TheCuts().armed = false; }

void MeddleAt(const char* point, std::function<void()> meddle) {
  TheCuts().meddleAt = point;
  TheCuts().meddle = std::move(meddle);
}

std::vector<std::string> Passed() { return TheCuts().passed; }

}  // namespace CutPoints
