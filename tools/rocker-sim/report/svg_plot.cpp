#include "rocker-sim/report/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>

#include "common/fixed_decimals.h"
#include "rocker-sim/report/stop_cause_finder.h"

namespace velk::rocker_sim {

namespace {

constexpr double kMm = 1000.0;
constexpr double kPlot = 420.0;    // side of a panel's drawing area, px
constexpr double kMargin = 50.0;   // around a drawing area, px
constexpr double kTop = 60.0;      // top of the drawing areas, px
constexpr double kMinSpan = 20.0;  // mm: a standing tool still gets a readable scale
constexpr double kLegendLine = 18.0;
constexpr double kLineWidth = 2.5;  // px, of a jog's line
// Marks this close together (px) are one place to the eye.
constexpr double kTogether = 3.0;
constexpr double kDotRadius = 4.0;
constexpr double kRingStep = 2.5;  // px a dot grows for each later dot on it
constexpr double kSquare = 11.0;   // px, wider than a dot
constexpr double kTick = 22.0;     // px, of the orientation line at a rest
constexpr double kSpeedMarkRadius = 2.5;
const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd",
                                "#ff7f0e", "#17becf", "#8c564b", "#e377c2"};

// Pixels and figures to a tenth.
std::string number(double v) { return fixedDecimals(v, 1); }

std::string colourOf(std::size_t jog_index) {
  return kColours[jog_index % (sizeof kColours / sizeof kColours[0])];
}

std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '&')
      out += "&amp;";
    else
      out += c;
  }
  return out;
}

double linearSpeed(const std::vector<double>& speed) {
  return speed.size() < 3 ? 0.0 : std::hypot(speed[0], speed[1], speed[2]);
}

std::vector<std::vector<double>> posesBetween(const RunRecord& record, double from, double to) {
  std::vector<std::vector<double>> poses;
  for (const PathSample& s : record.path) {
    if (s.t >= from && s.t <= to && s.pose.size() >= 3) poses.push_back(s.pose);
  }
  return poses;
}

double distance(const std::pair<double, double>& a, const std::pair<double, double>& b) {
  return std::hypot(a.first - b.first, a.second - b.second);
}

bool near(const std::optional<std::pair<double, double>>& a,
          const std::optional<std::pair<double, double>>& b) {
  return a && b && distance(*a, *b) <= kTogether;
}

double pathLength(const std::vector<std::pair<double, double>>& path) {
  double length = 0;
  for (std::size_t i = 1; i < path.size(); ++i) length += distance(path[i - 1], path[i]);
  return length;
}

// Whether `over` hides a good part of `under`: a fifth of the places along
// it. Lines that merely meet, where one jog starts at the end of another, do
// not count.
bool covers(const std::vector<std::pair<double, double>>& over,
            const std::vector<std::pair<double, double>>& under) {
  std::vector<std::pair<double, double>> places;
  for (const auto& p : under) {
    if (places.empty() || distance(places.back(), p) >= 1.0) places.push_back(p);
  }
  if (places.size() < 2) return false;
  const auto hidden = std::count_if(places.begin(), places.end(), [&](const auto& p) {
    return std::any_of(over.begin(), over.end(),
                       [&](const auto& q) { return distance(p, q) <= kTogether; });
  });
  return static_cast<double>(hidden) >= 0.2 * static_cast<double>(places.size());
}

LabelPlacer::Box boxAround(const std::pair<double, double>& at, double half) {
  return {at.first - half, at.second - half, at.first + half, at.second + half};
}

}  // namespace

std::string SvgPlot::render(const RunRecord& record, const std::vector<Jog>& jogs) {
  const Bounds b = bounds(record);
  // Room on the left of each view for its longest axis label.
  std::size_t longest = 0;
  for (int axis : {1, 2}) {
    for (bool high : {false, true}) longest = std::max(longest, axisLabel(b, axis, high).size());
  }
  const double left = std::max(kMargin, LabelPlacer::textWidth(longest) + 10);
  const std::vector<std::string> lines = legendLines(jogs);
  double legend_width = 0;
  for (const auto& line : lines) {
    legend_width = std::max(legend_width, LabelPlacer::textWidth(line.size()));
  }
  const double second = 2 * left + kPlot;
  const double width = std::max(second + kPlot + kMargin / 2, kMargin + legend_width + kMargin);
  const double height = kTop + kPlot + kMargin + kLegendLine * static_cast<double>(jogs.size() + 1);
  std::ostringstream svg;
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"" << left << "\" y=\"24\" font-size=\"16\">Tool path (mm)</text>\n";
  svg << panel(Panel{left, 1, "Top view: x right, y up"}, b, record, jogs);
  svg << panel(Panel{second, 2, "Side view: x right, z up"}, b, record, jogs);
  svg << legend(lines, kTop + kPlot + kMargin) << "</svg>\n";
  return svg.str();
}

SvgPlot::Bounds SvgPlot::bounds(const RunRecord& record) {
  double low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
  bool first = true;
  for (const PathSample& s : record.path) {
    if (s.pose.size() < 3) continue;
    for (int i = 0; i < 3; ++i) {
      const double v = s.pose[static_cast<std::size_t>(i)] * kMm;
      low[i] = first ? v : std::min(low[i], v);
      high[i] = first ? v : std::max(high[i], v);
    }
    first = false;
  }
  double span = kMinSpan;
  for (int i = 0; i < 3; ++i) span = std::max(span, (high[i] - low[i]) * 1.1);
  Bounds b{{0, 0, 0}, span};
  for (int i = 0; i < 3; ++i) b.low[i] = (low[i] + high[i]) / 2 - span / 2;
  return b;
}

std::string SvgPlot::axisLabel(const Bounds& b, int axis, bool high) {
  const char name = "xyz"[axis];
  return std::string(1, name) + ' ' + number(b.low[axis] + (high ? b.span : 0));
}

double SvgPlot::px(const Panel& panel, const Bounds& b, double x) {
  return panel.left + (x * kMm - b.low[0]) / b.span * kPlot;
}

double SvgPlot::py(const Bounds& b, int axis, double v) {
  return kTop + kPlot - (v * kMm - b.low[axis]) / b.span * kPlot;
}

std::string SvgPlot::panel(const Panel& p, const Bounds& b, const RunRecord& record,
                           const std::vector<Jog>& jogs) {
  std::ostringstream out;
  out << "<text x=\"" << p.left << "\" y=\"" << kTop - 10 << "\">" << p.title << "</text>\n"
      << "<rect x=\"" << p.left << "\" y=\"" << kTop << "\" width=\"" << kPlot << "\" height=\""
      << kPlot << "\" fill=\"#fafafa\" stroke=\"#999\"/>\n"
      << "<text x=\"" << p.left << "\" y=\"" << kTop + kPlot + 16 << "\">" << axisLabel(b, 0, false)
      << "</text>\n"
      << "<text x=\"" << p.left + kPlot << "\" y=\"" << kTop + kPlot + 16
      << "\" text-anchor=\"end\">" << axisLabel(b, 0, true) << "</text>\n"
      << "<text x=\"" << p.left - 4 << "\" y=\"" << kTop + kPlot << "\" text-anchor=\"end\">"
      << axisLabel(b, p.vertical, false) << "</text>\n"
      << "<text x=\"" << p.left - 4 << "\" y=\"" << kTop + 10 << "\" text-anchor=\"end\">"
      << axisLabel(b, p.vertical, true) << "</text>\n";
  std::vector<std::vector<double>> all;
  for (const PathSample& s : record.path) all.push_back(s.pose);
  out << polyline(pixels(p, b, all), "stroke=\"#bbb\" stroke-width=\"1\"");

  std::vector<Path> paths;
  for (const Jog& jog : jogs) {
    const double to = jog.stop.value_or(record.end) + 0.1;
    paths.push_back(pixels(p, b, posesBetween(record, jog.start, to)));
  }
  // Longest first: a short jog drawn over a long one shows; the other way
  // round it would vanish under it.
  std::vector<std::size_t> order(jogs.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t c) {
    return pathLength(paths[a]) > pathLength(paths[c]);
  });
  const std::vector<double> widths = lineWidths(paths, order);
  for (std::size_t i : order) {
    out << polyline(paths[i], "stroke=\"" + colourOf(i) + "\" stroke-width=\"" + number(widths[i]) +
                                  "\" stroke-linecap=\"round\" class=\"jog\"");
  }
  LabelPlacer placer({p.left, kTop, p.left + kPlot, kTop + kPlot});
  const Marks starts = marksAt(p, b, jogs, true);
  // Squares are outlines: over the dots, a jog that starts where the last
  // one came to rest shows both.
  const Marks ends = marksAt(p, b, jogs, false);
  out << speedMarks(p, b, jogs);
  out << startDots(starts, placer);
  out << endSquares(ends, starts, placer);
  out << orientationTicks(p, ends, jogs, placer);
  out << startLabels(starts, jogs, placer);
  return out.str();
}

SvgPlot::Path SvgPlot::pixels(const Panel& p, const Bounds& b,
                              const std::vector<std::vector<double>>& poses) {
  Path path;
  for (const auto& pose : poses) {
    if (pose.size() < 3) continue;
    path.emplace_back(px(p, b, pose[0]),
                      py(b, p.vertical, pose[static_cast<std::size_t>(p.vertical)]));
  }
  return path;
}

std::string SvgPlot::polyline(const Path& path, const std::string& style) {
  if (path.empty()) return {};
  std::ostringstream points;
  for (const auto& [x, y] : path) points << x << ',' << y << ' ';
  return "<polyline fill=\"none\" " + style + " points=\"" + points.str() + "\"/>\n";
}

std::vector<double> SvgPlot::lineWidths(const std::vector<Path>& paths,
                                        const std::vector<std::size_t>& order) {
  // One step wider for every line drawn over it, so that each shows as a
  // band of its own colour on either side of the ones above.
  std::vector<double> widths(paths.size(), kLineWidth);
  for (std::size_t k = 0; k < order.size(); ++k) {
    int above = 0;
    for (std::size_t later = k + 1; later < order.size(); ++later) {
      if (covers(paths[order[later]], paths[order[k]])) ++above;
    }
    widths[order[k]] = kLineWidth * (1 + above);
  }
  return widths;
}

SvgPlot::Marks SvgPlot::marksAt(const Panel& p, const Bounds& b, const std::vector<Jog>& jogs,
                                bool at_start) {
  Marks marks;
  const auto v = static_cast<std::size_t>(p.vertical);
  for (const Jog& jog : jogs) {
    const std::vector<double>& pose = at_start ? jog.start_pose : jog.end_pose;
    if (jog.start_pose.size() < 3 || jog.end_pose.size() < 3) {
      marks.emplace_back();
      continue;
    }
    marks.emplace_back(Point{px(p, b, pose[0]), py(b, p.vertical, pose[v])});
  }
  return marks;
}

std::string SvgPlot::endSquares(const Marks& ends, const Marks& starts, LabelPlacer& placer) {
  // Around the dots of a spot, and squares on one spot nested like the dots.
  std::ostringstream out;
  for (std::size_t i = 0; i < ends.size(); ++i) {
    if (!ends[i]) continue;
    double half = kSquare / 2;
    for (std::size_t k = 0; k < starts.size(); ++k) {
      if (near(ends[i], starts[k])) half = std::max(half, dotRadius(starts, k) + 2);
    }
    for (std::size_t k = i + 1; k < ends.size(); ++k)
      half += near(ends[i], ends[k]) ? kRingStep : 0;
    const auto [x, y] = *ends[i];
    out << "<rect x=\"" << x - half << "\" y=\"" << y - half << "\" width=\"" << 2 * half
        << "\" height=\"" << 2 * half << "\" fill=\"none\" stroke=\"" << colourOf(i)
        << "\" stroke-width=\"1.5\"/>\n";
    placer.keepClear(boxAround(*ends[i], half + 1));
  }
  return out.str();
}

// Two lines from where each jog came to rest, along the tool's x axis
// (solid) and y axis (dashed) as the panel sees them, shorter the more they
// point out of the panel: how the jog left the tool oriented.
std::string SvgPlot::orientationTicks(const Panel& p, const Marks& ends,
                                      const std::vector<Jog>& jogs, LabelPlacer& placer) {
  std::ostringstream out;
  for (std::size_t i = 0; i < ends.size() && i < jogs.size(); ++i) {
    const std::vector<double>& pose = jogs[i].end_pose;
    if (!ends[i] || pose.size() < 6) continue;
    const double cx = std::cos(pose[3]), sx = std::sin(pose[3]);
    const double cy = std::cos(pose[4]), sy = std::sin(pose[4]);
    const double cz = std::cos(pose[5]), sz = std::sin(pose[5]);
    // The first two columns of Rz(rz) * Ry(ry) * Rx(rx).
    const double axes[2][3] = {{cz * cy, sz * cy, -sy},
                               {cz * sy * sx - sz * cx, sz * sy * sx + cz * cx, cy * sx}};
    for (int a = 0; a < 2; ++a) {
      const auto [x, y] = *ends[i];
      double dx = kTick * axes[a][0];
      double dy = -kTick * axes[a][static_cast<std::size_t>(p.vertical)];
      if (std::hypot(dx, dy) < 2.0) continue;  // pointing out of the panel
      // Shortened where it would leave the drawing area.
      double fit = 1.0;
      if (x + dx > p.left + kPlot) fit = std::min(fit, (p.left + kPlot - x) / dx);
      if (x + dx < p.left) fit = std::min(fit, (p.left - x) / dx);
      if (y + dy > kTop + kPlot) fit = std::min(fit, (kTop + kPlot - y) / dy);
      if (y + dy < kTop) fit = std::min(fit, (kTop - y) / dy);
      dx *= fit;
      dy *= fit;
      out << "<line x1=\"" << x << "\" y1=\"" << y << "\" x2=\"" << x + dx << "\" y2=\"" << y + dy
          << "\" stroke=\"" << colourOf(i) << "\" stroke-width=\"1.5\""
          << (a == 1 ? " stroke-dasharray=\"3,2\"" : "") << " class=\"orientation\"/>\n";
      placer.keepClear({std::min(x, x + dx) - 1, std::min(y, y + dy) - 1, std::max(x, x + dx) + 1,
                        std::max(y, y + dy) + 1});
    }
  }
  return out.str();
}

double SvgPlot::dotRadius(const Marks& starts, std::size_t i) {
  int later = 0;
  for (std::size_t k = i + 1; k < starts.size(); ++k) later += near(starts[i], starts[k]) ? 1 : 0;
  return kDotRadius + kRingStep * later;
}

std::string SvgPlot::startDots(const Marks& starts, LabelPlacer& placer) {
  // Dots on one spot become rings: the earlier jog's dot larger and drawn
  // first, so that every colour stays in sight.
  std::ostringstream out;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    if (!starts[i]) continue;
    const double r = dotRadius(starts, i);
    out << "<circle cx=\"" << starts[i]->first << "\" cy=\"" << starts[i]->second << "\" r=\"" << r
        << "\" fill=\"" << colourOf(i) << "\" stroke=\"white\" stroke-width=\"0.75\""
        << " class=\"start\"/>\n";
    placer.keepClear(boxAround(*starts[i], r + 1));
  }
  return out.str();
}

std::string SvgPlot::startLabels(const Marks& starts, const std::vector<Jog>& jogs,
                                 LabelPlacer& placer) {
  // Jogs that start at one spot share one label, "3, 4", each number in its
  // jog's colour.
  std::ostringstream out;
  std::vector<bool> done(starts.size(), false);
  for (std::size_t i = 0; i < starts.size(); ++i) {
    if (!starts[i] || done[i]) continue;
    std::string text, spans;
    for (std::size_t k = i; k < starts.size(); ++k) {
      if (k != i && !near(starts[i], starts[k])) continue;
      done[k] = true;
      const std::string label = (text.empty() ? "" : ", ") + std::to_string(jogs[k].number);
      text += label;
      spans += "<tspan fill=\"" + colourOf(k) + "\">" + label + "</tspan>";
    }
    const auto spot =
        placer.place(starts[i]->first, starts[i]->second, LabelPlacer::textWidth(text.size()));
    out << "<text x=\"" << spot.x << "\" y=\"" << spot.y << "\" class=\"label\">" << spans
        << "</text>\n";
  }
  return out.str();
}

std::string SvgPlot::speedMarks(const Panel& p, const Bounds& b, const std::vector<Jog>& jogs) {
  std::ostringstream out;
  const auto v = static_cast<std::size_t>(p.vertical);
  for (std::size_t i = 0; i < jogs.size(); ++i) {
    for (const SpeedChange& change : jogs[i].changes) {
      if (change.pose.size() < 3) continue;
      out << "<circle class=\"speed-change\" cx=\"" << px(p, b, change.pose[0]) << "\" cy=\""
          << py(b, p.vertical, change.pose[v]) << "\" r=\"" << kSpeedMarkRadius
          << "\" fill=\"white\" stroke=\"" << colourOf(i) << "\"><title>" << number(change.t)
          << " s: " << number(linearSpeed(change.speed) * kMm) << " mm/s</title></circle>\n";
    }
  }
  return out.str();
}

std::vector<std::string> SvgPlot::legendLines(const std::vector<Jog>& jogs) {
  std::vector<std::string> lines = {
      "dot: jog starts (rings: several start there), square: tool at rest, lines from it: the "
      "tool's x axis (solid) and y axis (dashed) there; grey: the whole path"};
  for (const Jog& jog : jogs) {
    std::ostringstream speed;
    for (std::size_t k = 0; k < 3 && k < jog.speed.size(); ++k) {
      speed << (k > 0 ? ", " : "") << number(jog.speed[k] * kMm);
    }
    // Along the path of a following jog: each speed it changed to, at its ring.
    std::string along;
    for (const SpeedChange& change : jog.changes) {
      along += (along.empty() ? ", then " : ", ") + number(linearSpeed(change.speed) * kMm);
    }
    if (!along.empty()) along += " mm/s at the rings";
    lines.push_back(std::to_string(jog.number) + ": at " + number(jog.start) + " s, speed (" +
                    speed.str() + ") mm/s" + along + ", " + StopCauseFinder::describe(jog.cause));
  }
  return lines;
}

std::string SvgPlot::legend(const std::vector<std::string>& lines, double top) {
  std::ostringstream out;
  double y = top;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    out << "<text x=\"" << kMargin << "\" y=\"" << y << "\"";
    if (i > 0) out << " fill=\"" << colourOf(i - 1) << "\"";
    out << ">" << escaped(lines[i]) << "</text>\n";
    y += kLegendLine;
  }
  return out.str();
}

}  // namespace velk::rocker_sim
