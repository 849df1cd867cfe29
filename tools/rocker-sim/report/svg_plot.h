#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rocker-sim/report/jog.h"
#include "rocker-sim/report/label_placer.h"
#include "rocker-sim/run/run_record.h"

namespace velk::rocker_sim {

// The tool's path as an SVG picture: a top view (x right, y up) and a side
// view (x right, z up) at one scale, every jog drawn in its own colour with
// its number at the start and a square where the tool came to rest.
//
// Jogs often retrace each other and start where the last one stopped, so
// the drawing keeps each visible: longer jogs are drawn first and wider
// wherever a later one covers them, start dots that fall together are drawn
// as rings inside rings, and labels of jogs that start at one point are one
// label; no label overlaps another or a mark, or leaves its view.
class SvgPlot {
 public:
  static std::string render(const RunRecord& record, const std::vector<Jog>& jogs);

 private:
  using Point = std::pair<double, double>;  // px
  using Path = std::vector<Point>;
  using Marks = std::vector<std::optional<Point>>;  // by jog; none without a pose
  struct Bounds {
    double low[3];
    double span;
  };
  struct Panel {
    double left;
    int vertical;  // index of the axis drawn upwards: 1 (y) or 2 (z)
    const char* title;
  };

  static Bounds bounds(const RunRecord& record);
  static std::string axisLabel(const Bounds& b, int axis, bool high);
  static std::string panel(const Panel& panel, const Bounds& b, const RunRecord& record,
                           const std::vector<Jog>& jogs);
  static Path pixels(const Panel& panel, const Bounds& b,
                     const std::vector<std::vector<double>>& poses);
  static std::string polyline(const Path& path, const std::string& style);
  // Widths that leave each line showing beside the lines drawn over it.
  static std::vector<double> lineWidths(const std::vector<Path>& paths,
                                        const std::vector<std::size_t>& order);
  static Marks marksAt(const Panel& panel, const Bounds& b, const std::vector<Jog>& jogs,
                       bool at_start);
  static std::string endSquares(const Marks& ends, const Marks& starts, LabelPlacer& placer);
  // A start dot grows into a ring around each later dot on its spot.
  static std::string orientationTicks(const Panel& panel, const Marks& ends,
                                      const std::vector<Jog>& jogs, LabelPlacer& placer);
  static double dotRadius(const Marks& starts, std::size_t i);
  static std::string startDots(const Marks& starts, LabelPlacer& placer);
  // A following jog's speed changes, each a small ring on its path that
  // names the new speed.
  static std::string speedMarks(const Panel& panel, const Bounds& b, const std::vector<Jog>& jogs);
  static std::string startLabels(const Marks& starts, const std::vector<Jog>& jogs,
                                 LabelPlacer& placer);
  static std::vector<std::string> legendLines(const std::vector<Jog>& jogs);
  static std::string legend(const std::vector<std::string>& lines, double top);
  static double px(const Panel& panel, const Bounds& b, double x);
  static double py(const Bounds& b, int axis, double v);
};

}  // namespace velk::rocker_sim
