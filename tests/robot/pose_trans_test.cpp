#include <gtest/gtest.h>

#include <Eigen/Geometry>
#include <cmath>
#include <memory>
#include <vector>

#include "host/common_interface/zorv_api.h"
#include "host/common_interface/zorv_math.h"
#include "robot_sim/simulated_robot.h"

namespace {

using Pose = std::vector<double>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTolerance = 1e-12;

class PoseTrans : public ::testing::Test {
 protected:
  Pose trans(const Pose& p1, const Pose& p2) { return math_->poseTrans(p1, p2); }

  // Where the pose puts a point given in its own frame: the translation of
  // pose * (point, no rotation).
  Eigen::Vector3d mapped(const Pose& pose, const Eigen::Vector3d& point) {
    const Pose moved = trans(pose, {point.x(), point.y(), point.z(), 0, 0, 0});
    return {moved[0], moved[1], moved[2]};
  }

  velk::sim::SimulatedRobot robot_;
  std::shared_ptr<velk::common_interface::Math> math_ = robot_.api()->getMath();
};

void expectPose(const Pose& expected, const Pose& actual) {
  ASSERT_EQ(expected.size(), actual.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(expected[i], actual[i], kTolerance) << "value " << i;
  }
}

// The inverse computed independently of the code under test.
Pose inverseOf(const Pose& p) {
  const Eigen::Matrix3d r = (Eigen::AngleAxisd(p[5], Eigen::Vector3d::UnitZ()) *
                             Eigen::AngleAxisd(p[4], Eigen::Vector3d::UnitY()) *
                             Eigen::AngleAxisd(p[3], Eigen::Vector3d::UnitX()))
                                .toRotationMatrix();
  const Eigen::Matrix3d rt = r.transpose();
  const Eigen::Vector3d t = -rt * Eigen::Vector3d(p[0], p[1], p[2]);
  return {t.x(),
          t.y(),
          t.z(),
          std::atan2(rt(2, 1), rt(2, 2)),
          std::atan2(-rt(2, 0), std::hypot(rt(0, 0), rt(1, 0))),
          std::atan2(rt(1, 0), rt(0, 0))};
}

TEST_F(PoseTrans, IdentityOnEitherSideLeavesThePose) {
  const Pose p = {0.3, -0.2, 0.5, 0.4, -0.7, 1.2};
  const Pose identity = {0, 0, 0, 0, 0, 0};
  expectPose(p, trans(identity, p));
  expectPose(p, trans(p, identity));
}

TEST_F(PoseTrans, PureTranslationsAdd) {
  expectPose({1.5, 1.0, 5.0, 0, 0, 0}, trans({1, 2, 3, 0, 0, 0}, {0.5, -1, 2, 0, 0, 0}));
}

TEST_F(PoseTrans, YawOfNinetyDegreesTurnsTheSecondTranslation) {
  expectPose({1, 1, 0, 0, 0, kPi / 2}, trans({1, 0, 0, 0, 0, kPi / 2}, {1, 0, 0, 0, 0, 0}));
  // The rotations add up too.
  expectPose({1, 1, 0, 0, 0, kPi / 2 + 0.25},
             trans({1, 0, 0, 0, 0, kPi / 2}, {1, 0, 0, 0, 0, 0.25}));
}

TEST_F(PoseTrans, AnglesAreRollPitchYawAboutFixedAxesYawLast) {
  // R = Rz * Ry * Rx: with roll and yaw both 90 degrees, x is turned by the
  // yaw only (to y) and y by the roll only (to z). Yaw first, then roll
  // about the fixed x axis, would send x to z and y to -x.
  const Pose roll_and_yaw = {0, 0, 0, kPi / 2, 0, kPi / 2};
  const Eigen::Vector3d x_image = mapped(roll_and_yaw, Eigen::Vector3d::UnitX());
  const Eigen::Vector3d y_image = mapped(roll_and_yaw, Eigen::Vector3d::UnitY());
  EXPECT_TRUE(x_image.isApprox(Eigen::Vector3d::UnitY(), kTolerance)) << x_image.transpose();
  EXPECT_TRUE(y_image.isApprox(Eigen::Vector3d::UnitZ(), kTolerance)) << y_image.transpose();
  // Pitch of 90 degrees turns x to -z.
  const Eigen::Vector3d pitched = mapped({0, 0, 0, 0, kPi / 2, 0}, Eigen::Vector3d::UnitX());
  EXPECT_TRUE(pitched.isApprox(-Eigen::Vector3d::UnitZ(), kTolerance)) << pitched.transpose();
}

TEST_F(PoseTrans, ComposedWithItsInverseGivesIdentity) {
  // By hand: the inverse of (1, 0, 0, yaw 90) is (0, 1, 0, yaw -90).
  expectPose({0, 0, 0, 0, 0, 0}, trans({1, 0, 0, 0, 0, kPi / 2}, {0, 1, 0, 0, 0, -kPi / 2}));
  const Pose p = {0.3, -0.2, 0.5, 0.4, -0.7, 1.2};
  expectPose({0, 0, 0, 0, 0, 0}, trans(p, inverseOf(p)));
  expectPose({0, 0, 0, 0, 0, 0}, trans(inverseOf(p), p));
}

TEST_F(PoseTrans, PitchOfNinetyDegreesComesBackAsTheSameRotation) {
  // Roll and yaw share one axis there; the result names it by yaw alone.
  const Pose locked = {0, 0, 0, 0.3, kPi / 2, 0.2};
  const Pose result = trans({0, 0, 0, 0, 0, 0}, locked);
  EXPECT_NEAR(0.0, result[3], kTolerance);
  EXPECT_NEAR(kPi / 2, result[4], 1e-6);
  for (int i = 0; i < 3; ++i) {
    const Eigen::Vector3d axis = Eigen::Vector3d::Unit(i);
    EXPECT_TRUE(mapped(result, axis).isApprox(mapped(locked, axis), 1e-9));
  }
}

TEST_F(PoseTrans, PoseOfWrongSizeGivesEmptyResult) {
  EXPECT_TRUE(trans({1, 2, 3}, {0, 0, 0, 0, 0, 0}).empty());
  EXPECT_TRUE(trans({0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}).empty());
}

}  // namespace
