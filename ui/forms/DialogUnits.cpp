#include "ui/forms/DialogUnits.h"

namespace forms {
namespace {

// value * numerator / denominator, rounded half away from zero.
int MulDivRound(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

int AverageCharWidth(int widthOf52Letters) { return (widthOf52Letters / 26 + 1) / 2; }

DialogUnits::DialogUnits(int averageCharWidth, int charHeight) : baseX_(averageCharWidth), baseY_(charHeight) {}

int DialogUnits::X(int units) const { return MulDivRound(units, baseX_, 4); }

int DialogUnits::Y(int units) const { return MulDivRound(units, baseY_, 8); }

PixelRect DialogUnits::Map(const UnitRect& rect) const {
  return {X(rect.x), Y(rect.y), X(rect.width), Y(rect.height)};
}

}  // namespace forms
