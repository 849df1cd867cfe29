#include "rocker-sim/report/svg_plot.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "rocker-sim/report/stop_cause_finder.h"

namespace velk::rocker_sim {

namespace {

constexpr double kMm = 1000.0;
constexpr double kPlot = 420.0;    // side of a panel's drawing area, px
constexpr double kMargin = 50.0;   // around a drawing area, px
constexpr double kTop = 60.0;      // top of the drawing areas, px
constexpr double kMinSpan = 20.0;  // mm: a standing tool still gets a readable scale
constexpr double kLegendLine = 18.0;
const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd",
                                "#ff7f0e", "#17becf", "#8c564b", "#e377c2"};

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
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

std::vector<std::vector<double>> posesBetween(const RunRecord& record, double from, double to) {
  std::vector<std::vector<double>> poses;
  for (const PathSample& s : record.path) {
    if (s.t >= from && s.t <= to && s.pose.size() >= 3) poses.push_back(s.pose);
  }
  return poses;
}

}  // namespace

std::string SvgPlot::render(const RunRecord& record, const std::vector<Jog>& jogs) {
  const Bounds b = bounds(record);
  const double width = 2 * (kPlot + 2 * kMargin);
  const double height = kTop + kPlot + kMargin + kLegendLine * static_cast<double>(jogs.size() + 1);
  std::ostringstream svg;
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"" << kMargin << "\" y=\"24\" font-size=\"16\">Tool path (mm)</text>\n";
  svg << panel(Panel{kMargin, 1, "Top view: x right, y up"}, b, record, jogs);
  svg << panel(Panel{kPlot + 3 * kMargin, 2, "Side view: x right, z up"}, b, record, jogs);
  svg << legend(jogs) << "</svg>\n";
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

double SvgPlot::px(const Panel& panel, const Bounds& b, double x) {
  return panel.left + (x * kMm - b.low[0]) / b.span * kPlot;
}

double SvgPlot::py(const Bounds& b, int axis, double v) {
  return kTop + kPlot - (v * kMm - b.low[axis]) / b.span * kPlot;
}

std::string SvgPlot::panel(const Panel& p, const Bounds& b, const RunRecord& record,
                           const std::vector<Jog>& jogs) {
  const char axis_name = p.vertical == 1 ? 'y' : 'z';
  std::ostringstream out;
  out << "<text x=\"" << p.left << "\" y=\"" << kTop - 10 << "\">" << p.title << "</text>\n"
      << "<rect x=\"" << p.left << "\" y=\"" << kTop << "\" width=\"" << kPlot << "\" height=\""
      << kPlot << "\" fill=\"#fafafa\" stroke=\"#999\"/>\n"
      << "<text x=\"" << p.left << "\" y=\"" << kTop + kPlot + 16 << "\">x " << number(b.low[0])
      << "</text>\n"
      << "<text x=\"" << p.left + kPlot << "\" y=\"" << kTop + kPlot + 16
      << "\" text-anchor=\"end\">x " << number(b.low[0] + b.span) << "</text>\n"
      << "<text x=\"" << p.left - 4 << "\" y=\"" << kTop + kPlot << "\" text-anchor=\"end\">"
      << axis_name << ' ' << number(b.low[p.vertical]) << "</text>\n"
      << "<text x=\"" << p.left - 4 << "\" y=\"" << kTop + 10 << "\" text-anchor=\"end\">"
      << axis_name << ' ' << number(b.low[p.vertical] + b.span) << "</text>\n";
  std::vector<std::vector<double>> all;
  for (const PathSample& s : record.path) all.push_back(s.pose);
  out << polyline(p, b, all, "stroke=\"#bbb\" stroke-width=\"1\"");
  for (std::size_t i = 0; i < jogs.size(); ++i) {
    const std::string colour = kColours[i % (sizeof kColours / sizeof kColours[0])];
    const double to = jogs[i].stop.value_or(record.end) + 0.1;
    out << polyline(p, b, posesBetween(record, jogs[i].start, to),
                    "stroke=\"" + colour + "\" stroke-width=\"2.5\"");
    out << marks(p, b, jogs[i], colour);
  }
  return out.str();
}

std::string SvgPlot::polyline(const Panel& p, const Bounds& b,
                              const std::vector<std::vector<double>>& poses,
                              const std::string& style) {
  std::ostringstream points;
  for (const auto& pose : poses) {
    if (pose.size() < 3) continue;
    points << px(p, b, pose[0]) << ','
           << py(b, p.vertical, pose[static_cast<std::size_t>(p.vertical)]) << ' ';
  }
  if (points.tellp() == 0) return {};
  return "<polyline fill=\"none\" " + style + " points=\"" + points.str() + "\"/>\n";
}

std::string SvgPlot::marks(const Panel& p, const Bounds& b, const Jog& jog,
                           const std::string& colour) {
  if (jog.start_pose.size() < 3 || jog.end_pose.size() < 3) return {};
  const auto v = static_cast<std::size_t>(p.vertical);
  const double sx = px(p, b, jog.start_pose[0]), sy = py(b, p.vertical, jog.start_pose[v]);
  const double ex = px(p, b, jog.end_pose[0]), ey = py(b, p.vertical, jog.end_pose[v]);
  std::ostringstream out;
  out << "<circle cx=\"" << sx << "\" cy=\"" << sy << "\" r=\"4\" fill=\"" << colour << "\"/>\n"
      << "<text x=\"" << sx + 6 << "\" y=\"" << sy - 6 << "\" fill=\"" << colour << "\">"
      << jog.number << "</text>\n"
      << "<rect x=\"" << ex - 3.5 << "\" y=\"" << ey - 3.5
      << "\" width=\"7\" height=\"7\" fill=\"none\" stroke=\"" << colour
      << "\" stroke-width=\"1.5\"/>\n";
  return out.str();
}

std::string SvgPlot::legend(const std::vector<Jog>& jogs) {
  std::ostringstream out;
  double y = kTop + kPlot + kMargin;
  out << "<text x=\"" << kMargin << "\" y=\"" << y << "\">"
      << "dot: jog starts, square: tool at rest; grey: the whole path</text>\n";
  for (std::size_t i = 0; i < jogs.size(); ++i) {
    y += kLegendLine;
    const Jog& jog = jogs[i];
    std::ostringstream speed;
    for (std::size_t k = 0; k < 3 && k < jog.speed.size(); ++k) {
      speed << (k > 0 ? ", " : "") << number(jog.speed[k] * kMm);
    }
    out << "<text x=\"" << kMargin << "\" y=\"" << y << "\" fill=\""
        << kColours[i % (sizeof kColours / sizeof kColours[0])] << "\">" << jog.number << ": "
        << "at " << number(jog.start) << " s, speed (" << speed.str() << ") mm/s, "
        << escaped(StopCauseFinder::describe(jog.cause)) << "</text>\n";
  }
  return out.str();
}

}  // namespace velk::rocker_sim
