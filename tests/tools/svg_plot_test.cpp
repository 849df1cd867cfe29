// The drawing stays readable when jogs retrace each other and start where
// others start: labels never overlap or leave their view, and every jog's
// line and start dot stay in sight.
#include "rocker-sim/report/svg_plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "rocker-sim/report/label_placer.h"

namespace {

using velk::rocker_sim::Jog;
using velk::rocker_sim::LabelPlacer;
using velk::rocker_sim::PathSample;
using velk::rocker_sim::RunRecord;
using velk::rocker_sim::SvgPlot;

TEST(LabelPlacer, LabelsCrowdedOnOnePointOrAtTheEdgesNeitherOverlapNorLeave) {
  const LabelPlacer::Box area{0, 0, 200, 100};
  LabelPlacer placer(area);
  placer.keepClear({95, 45, 105, 55});  // a mark
  const struct {
    double x, y;
  } points[] = {{100, 50}, {100, 50}, {100, 50}, {100, 50}, {0, 0}, {200, 100}, {0, 100}, {199, 1}};
  std::vector<LabelPlacer::Box> boxes = {{95, 45, 105, 55}};
  for (const auto& point : points) {
    const double width = LabelPlacer::textWidth(4);
    const auto spot = placer.place(point.x, point.y, width);
    const LabelPlacer::Box box{spot.x, spot.y - 10, spot.x + width, spot.y + 2};
    EXPECT_TRUE(box.inside(area)) << spot.x << "," << spot.y;
    for (const auto& other : boxes) EXPECT_FALSE(box.overlaps(other)) << spot.x << "," << spot.y;
    boxes.push_back(box);
  }
}

// Three jogs along x: the second goes back over half of the first, the
// third starts where the second does.
TEST(SvgPlot, RetracedLinesWidenAndDotsOnOneSpotBecomeRings) {
  RunRecord record;
  auto at = [](double x) { return std::vector<double>{x, 0, 0.3, 0, 0, 0}; };
  for (int i = 0; i <= 100; ++i) record.path.push_back({i * 0.01, at(0.4 + i * 0.0005), 0});
  for (int i = 0; i <= 50; ++i) record.path.push_back({2 + i * 0.01, at(0.45 - i * 0.0005), 0});
  record.end = 3;
  auto jog = [&](int number, double start, double stop, double from, double to) {
    Jog j;
    j.number = number;
    j.start = start;
    j.stop = stop;
    j.start_pose = at(from);
    j.end_pose = at(to);
    return j;
  };
  const std::vector<Jog> jogs = {jog(1, 0, 1, 0.4, 0.45), jog(2, 2, 2.5, 0.45, 0.425),
                                 jog(3, 2, 2, 0.45, 0.45)};
  const std::string svg = SvgPlot::render(record, jogs);

  const std::regex line("stroke=\"(#[0-9a-f]+)\" stroke-width=\"([0-9.]+)\"[^>]*class=\"jog\"");
  std::set<std::string> widths_of_first;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), line); it != std::sregex_iterator();
       ++it) {
    if ((*it)[1] == "#1f77b4") widths_of_first.insert((*it)[2]);
  }
  // Wider than the second, which is drawn over it, in the top and side views.
  EXPECT_EQ(widths_of_first, std::set<std::string>{"5.0"}) << svg;
  const std::regex dot("r=\"([0-9.]+)\" fill=\"(#[0-9a-f]+)\"[^>]*class=\"start\"");
  std::set<std::string> radii;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), dot); it != std::sregex_iterator();
       ++it) {
    radii.insert((*it)[1]);
  }
  EXPECT_EQ(radii, (std::set<std::string>{"4", "6.5"})) << svg;
  EXPECT_NE(svg.find(">2</tspan><tspan fill=\"#2ca02c\">, 3</tspan>"), std::string::npos) << svg;

  // Where a jog ends, the tool's x and y axes: a quarter turn about z makes
  // the x axis point up the top view and the y axis to the left.
  std::vector<Jog> turned = {jog(1, 0, 1, 0.4, 0.45)};
  turned[0].end_pose[5] = std::acos(-1.0) / 2;
  const std::string turned_svg = SvgPlot::render(record, turned);
  const std::regex tick(
      "<line x1=\"([0-9.e-]+)\" y1=\"([0-9.e-]+)\" x2=\"([0-9.e-]+)\" y2=\"([0-9.e-]+)\"");
  std::smatch first;
  ASSERT_TRUE(std::regex_search(turned_svg, first, tick)) << turned_svg;
  EXPECT_NEAR(std::stod(first[3]), std::stod(first[1]), 1e-6) << "x axis: no sideways part";
  EXPECT_LT(std::stod(first[4]), std::stod(first[2]) - 10) << "x axis: up the top view";
}

}  // namespace
