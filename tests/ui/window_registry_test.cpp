#include <gtest/gtest.h>

#include <cstdint>

#include "ui/window_registry.h"

namespace {

using ncWinBase::WindowRegistry;

HWND FakeWindow(std::uintptr_t n) {
    return reinterpret_cast<HWND>(0x1000 + n * 16);
}

TEST(WindowRegistry, SlotsAreCountedPerKindUpToForty) {
    WindowRegistry registry;
    for (std::uintptr_t i = 0; i < 40; ++i) {
        ASSERT_TRUE(registry.RegisterWindow(7, 0, FakeWindow(i), 0)) << i;
    }
    EXPECT_FALSE(registry.RegisterWindow(7, 0, FakeWindow(40), 0)) << "41st of one kind";
    EXPECT_TRUE(registry.RegisterWindow(8, 5, FakeWindow(41), 2))
        << "another kind has its own slots";
    EXPECT_EQ(registry.Entries().back().slot, 0);
    EXPECT_EQ(registry.Entries().back().param, 5u);
    EXPECT_EQ(registry.Entries().back().flag, 2);
}

TEST(WindowRegistry, AWindowIsRegisteredOnlyOnce) {
    WindowRegistry registry;
    ASSERT_TRUE(registry.RegisterWindow(1, 0, FakeWindow(1), 0));
    EXPECT_FALSE(registry.RegisterWindow(1, 0, FakeWindow(1), 0));
    EXPECT_FALSE(registry.RegisterWindow(2, 0, FakeWindow(1), 0)) << "whatever the kind";
    EXPECT_EQ(registry.Entries().size(), 1u);
}

TEST(WindowRegistry, TheLowestFreedSlotIsGivenOutAgainAndOrderIsKept) {
    WindowRegistry registry;
    for (std::uintptr_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(registry.RegisterWindow(1, 0, FakeWindow(i), 0));
    }
    registry.UnregisterWindow(FakeWindow(2));
    registry.UnregisterWindow(FakeWindow(1));
    registry.UnregisterWindow(FakeWindow(99));  // unknown: no change
    ASSERT_EQ(registry.Entries().size(), 2u);
    EXPECT_EQ(registry.Entries()[0].window, FakeWindow(0));
    EXPECT_EQ(registry.Entries()[1].window, FakeWindow(3));

    ASSERT_TRUE(registry.RegisterWindow(1, 0, FakeWindow(5), 0));
    EXPECT_EQ(registry.Entries().back().slot, 1);
    ASSERT_TRUE(registry.RegisterWindow(1, 0, FakeWindow(6), 0));
    EXPECT_EQ(registry.Entries().back().slot, 2);
    ASSERT_TRUE(registry.RegisterWindow(1, 0, FakeWindow(7), 0));
    EXPECT_EQ(registry.Entries().back().slot, 4);
}

}  // namespace
