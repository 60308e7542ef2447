#include <gtest/gtest.h>

#include "ui/window_placement.h"

namespace {

struct PlaceCase {
    const char* name;
    RECT work;
    POINT wanted;
    int w, h;
    POINT expected;
};

TEST(WindowPlacement, InitialPositionStaysInsideTheWorkArea) {
    const PlaceCase cases[] = {
        {"inside", {0, 0, 1024, 768}, {100, 50}, 500, 348, {100, 50}},
        {"left/top", {0, 40, 1024, 768}, {-30, 10}, 500, 348, {0, 40}},
        {"right/bottom", {0, 0, 1024, 768}, {900, 700}, 500, 348, {524, 420}},
        {"larger than work area", {10, 20, 410, 320}, {0, 0}, 500, 348, {-90, -28}},
    };
    for (const PlaceCase& c : cases) {
        POINT at = ncWinBase::ClampIntoWorkArea(c.wanted, c.w, c.h, c.work);
        EXPECT_EQ(at.x, c.expected.x) << c.name;
        EXPECT_EQ(at.y, c.expected.y) << c.name;
    }
}

TEST(WindowPlacement, CentringTruncatesTowardZero) {
    POINT at = ncWinBase::CentreOver(RECT{0, 0, 1025, 769}, 500, 348);
    EXPECT_EQ(at.x, 262);
    EXPECT_EQ(at.y, 210);
    at = ncWinBase::CentreOver(RECT{100, 100, 201, 201}, 300, 300);  // larger than the reference
    EXPECT_EQ(at.x, 100 + (101 - 300) / 2);
    EXPECT_EQ(at.x, 1);
    EXPECT_EQ(at.y, 1);
}

TEST(WindowPlacement, MovesStopAtLeftTopAndShortOfRightBottom) {
    const RECT work{0, 0, 1024, 768};
    const PlaceCase cases[] = {
        {"inside", work, {300, 200}, 0, 0, {300, 200}},
        {"beyond left/top", work, {-400, -10}, 0, 0, {0, 0}},
        {"beyond right/bottom", work, {2000, 2000}, 0, 0, {974, 668}},
        {"offset work area", {100, 50, 600, 450}, {90, 449}, 0, 0, {100, 350}},
    };
    for (const PlaceCase& c : cases) {
        POINT at = ncWinBase::ClampMove(c.wanted, c.work);
        EXPECT_EQ(at.x, c.expected.x) << c.name;
        EXPECT_EQ(at.y, c.expected.y) << c.name;
    }
}

}  // namespace
