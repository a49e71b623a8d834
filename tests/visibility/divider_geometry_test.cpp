// The divider's geometry: how wide it grows, the conversion between the two rectangle spaces, and
// the edge tolerances of the "left of the icon" and "hidden side" tests.
#include <gtest/gtest.h>

#include "visibility/divider_geometry.h"

namespace tucklet {
namespace {

using platform::Rect;
using platform::Screen;

Screen screen(Rect frame) {
  Screen s;
  s.frame = frame;
  s.visibleFrame = frame;
  return s;
}

TEST(DividerGeometryTest, CollapsedLengthCoversTwiceTheWidestScreen) {
  EXPECT_EQ(collapsedDividerLength({}), 10000);
  EXPECT_EQ(collapsedDividerLength({screen({0, 0, 1512, 982})}), 10000);
  // The wide screen decides, whichever comes first.
  EXPECT_EQ(collapsedDividerLength({screen({0, 0, 3008, 1692}), screen({3008, 0, 5120, 2880})}),
            10240);
  EXPECT_EQ(collapsedDividerLength({screen({0, 0, 5120, 2880}), screen({-3008, 0, 3008, 1692})}),
            10240);
}

TEST(DividerGeometryTest, AccessibilityFrameFlipsAgainstTheFirstScreen) {
  const Rect inBar{1300, 958, 18, 24};
  EXPECT_EQ(accessibilityFrame(inBar, {}), std::nullopt);
  EXPECT_EQ(accessibilityFrame(inBar, {screen({0, 0, 1512, 982})}), (Rect{1300, 0, 18, 24}));
  // A taller second screen does not change the flip.
  EXPECT_EQ(
      accessibilityFrame(inBar, {screen({0, 0, 1512, 982}), screen({1512, -400, 2560, 1440})}),
      (Rect{1300, 0, 18, 24}));
  EXPECT_EQ(accessibilityFrame({100, 500, 30, 20}, {screen({0, 0, 1512, 982})}),
            (Rect{100, 462, 30, 20}));
}

TEST(DividerGeometryTest, LeftOfTheIconAllowsTwoPointsOfOverlapInTheSameRow) {
  const Rect toggle{1300, 958, 30, 24};
  auto dividerEndingAt = [](double maxX, double y = 958) { return Rect{maxX - 18, y, 18, 24}; };
  EXPECT_TRUE(dividerLeftOf(dividerEndingAt(1200), toggle)) << "any distance to the left";
  EXPECT_TRUE(dividerLeftOf(dividerEndingAt(1302), toggle));
  EXPECT_FALSE(dividerLeftOf(dividerEndingAt(1302.5), toggle));
  EXPECT_FALSE(dividerLeftOf(dividerEndingAt(1400), toggle)) << "right of the icon";
  // Same row means vertical midpoints less than 12 apart.
  EXPECT_TRUE(dividerLeftOf(dividerEndingAt(1290, 958 - 11.5), toggle));
  EXPECT_FALSE(dividerLeftOf(dividerEndingAt(1290, 958 - 12), toggle));
  EXPECT_FALSE(dividerLeftOf(dividerEndingAt(1290, 958 + 12), toggle));
}

TEST(DividerGeometryTest, HiddenSideAllowsTwoPointsOfOverlapInTheDividersRow) {
  const Rect divider{1000, 0, 18, 24};
  auto itemEndingAt = [](double maxX, double y = 0) { return Rect{maxX - 22, y, 22, 24}; };
  EXPECT_TRUE(hiddenSideOfDivider(itemEndingAt(900), divider));
  EXPECT_TRUE(hiddenSideOfDivider(itemEndingAt(1002), divider));
  EXPECT_FALSE(hiddenSideOfDivider(itemEndingAt(1002.5), divider));
  EXPECT_FALSE(hiddenSideOfDivider(itemEndingAt(1100), divider));

  // The row is as tall as the divider: a 24-point divider keeps an item 20 points lower.
  EXPECT_TRUE(hiddenSideOfDivider(itemEndingAt(900, 20), divider));
  EXPECT_FALSE(hiddenSideOfDivider(itemEndingAt(900, 24), divider));
  EXPECT_FALSE(hiddenSideOfDivider(itemEndingAt(900, -24), divider));

  // ...but never less than 12 points.
  const Rect flat{1000, 7, 18, 10};  // midpoint 12
  auto itemCentredAt = [](double midY) { return Rect{800, midY - 12, 22, 24}; };
  EXPECT_TRUE(hiddenSideOfDivider(itemCentredAt(12 + 10.5), flat));
  EXPECT_TRUE(hiddenSideOfDivider(itemCentredAt(12 + 11.5), flat));
  EXPECT_FALSE(hiddenSideOfDivider(itemCentredAt(12 + 12), flat));
  EXPECT_FALSE(hiddenSideOfDivider(itemCentredAt(12 - 12), flat));
}

}  // namespace
}  // namespace tucklet
