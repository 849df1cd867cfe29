#include "rocker-sim/report/label_placer.h"

#include <algorithm>

namespace velk::rocker_sim {

namespace {

constexpr double kCharWidth = 7.2;
constexpr double kAscent = 10.0;  // of the font above its baseline, px
constexpr double kFirstRing = 6.0;
constexpr double kRingStep = 8.0;
constexpr double kLastRing = 240.0;

}  // namespace

bool LabelPlacer::Box::overlaps(const Box& other) const {
  return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
}

bool LabelPlacer::Box::inside(const Box& other) const {
  return left >= other.left && right <= other.right && top >= other.top && bottom <= other.bottom;
}

double LabelPlacer::textWidth(std::size_t characters) {
  return kCharWidth * static_cast<double>(characters);
}

LabelPlacer::LabelPlacer(Box area) : area_(area) {}

void LabelPlacer::keepClear(const Box& box) { taken_.push_back(box); }

LabelPlacer::Box LabelPlacer::boxAt(const Spot& spot, double width) {
  return {spot.x, spot.y - kAscent, spot.x + width, spot.y - kAscent + kTextHeight};
}

bool LabelPlacer::isFree(const Box& box) const {
  return box.inside(area_) &&
         std::none_of(taken_.begin(), taken_.end(), [&](const Box& t) { return t.overlaps(box); });
}

LabelPlacer::Spot LabelPlacer::place(double x, double y, double width) {
  for (double r = kFirstRing; r <= kLastRing; r += kRingStep) {
    // Up right first, where a reader looks for a point's label.
    const Spot spots[] = {
        {x + r, y - r},           {x + r, y + r + kAscent},
        {x - r - width, y - r},   {x - r - width, y + r + kAscent},
        {x + r, y + kAscent / 2}, {x - r - width, y + kAscent / 2},
        {x - width / 2, y - r},   {x - width / 2, y + r + kAscent},
    };
    for (const Spot& spot : spots) {
      const Box box = boxAt(spot, width);
      if (!isFree(box)) continue;
      taken_.push_back(box);
      return spot;
    }
  }
  // Nowhere free: inside the area at least, up right of the point.
  Spot spot{std::clamp(x + kFirstRing, area_.left, area_.right - width),
            std::clamp(y - kFirstRing, area_.top + kAscent, area_.bottom - kTextHeight + kAscent)};
  taken_.push_back(boxAt(spot, width));
  return spot;
}

}  // namespace velk::rocker_sim
