#pragma once

#include <vector>

namespace velk::rocker_sim {

// Finds a place for short text labels in a drawing so that no two overlap,
// none covers a mark it was told to keep clear, and each stays inside an
// area: it tries spots around the labelled point, nearest first, on rings
// that widen until one is free.
class LabelPlacer {
 public:
  struct Box {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool overlaps(const Box& other) const;
    bool inside(const Box& other) const;
  };
  struct Spot {
    double x = 0;  // where the text starts
    double y = 0;  // its baseline
  };

  // Height of a line of text and the width of one character, estimated for
  // the 12 px sans-serif font the drawing uses.
  static constexpr double kTextHeight = 12.0;
  static double textWidth(std::size_t characters);

  explicit LabelPlacer(Box area);
  // Keeps labels off `box` (a mark, a text placed by other means).
  void keepClear(const Box& box);
  // The spot for a text of `width` px labelling the point (x, y); the text's
  // box is then kept clear for later labels.
  Spot place(double x, double y, double width);

 private:
  static Box boxAt(const Spot& spot, double width);
  bool isFree(const Box& box) const;

  Box area_;
  std::vector<Box> taken_;
};

}  // namespace velk::rocker_sim
