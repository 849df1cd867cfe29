#pragma once

#include <string>
#include <vector>

#include "rocker-sim/report/jog.h"
#include "rocker-sim/run/run_record.h"

namespace velk::rocker_sim {

// The tool's path as an SVG picture: a top view (x right, y up) and a side
// view (x right, z up) at one scale, every jog drawn in its own colour with
// its number at the start and a square where the tool came to rest.
class SvgPlot {
 public:
  static std::string render(const RunRecord& record, const std::vector<Jog>& jogs);

 private:
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
  static std::string panel(const Panel& panel, const Bounds& b, const RunRecord& record,
                           const std::vector<Jog>& jogs);
  static std::string polyline(const Panel& panel, const Bounds& b,
                              const std::vector<std::vector<double>>& poses,
                              const std::string& style);
  static std::string marks(const Panel& panel, const Bounds& b, const Jog& jog,
                           const std::string& colour);
  static std::string legend(const std::vector<Jog>& jogs);
  static double px(const Panel& panel, const Bounds& b, double x);
  static double py(const Bounds& b, int axis, double v);
};

}  // namespace velk::rocker_sim
