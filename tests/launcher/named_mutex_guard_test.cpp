#include <gtest/gtest.h>

#include <string>

#include "launcher/named_mutex_guard.h"

namespace {

std::wstring UniqueName(const wchar_t* leaf) {
    return L"Global\\tqtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + leaf;
}

TEST(NamedMutexGuard, SecondHolderOfTheSameNameIsRefused) {
    const std::wstring name = UniqueName(L"a");
    ncApp::NamedMutexGuard first;
    ASSERT_TRUE(first.Create(name));
    EXPECT_TRUE(first.held());
    EXPECT_TRUE(ncApp::NamedMutexExists(name));

    ncApp::NamedMutexGuard second;
    EXPECT_FALSE(second.Create(name));
    EXPECT_FALSE(second.held());

    first.Close();
    EXPECT_FALSE(ncApp::NamedMutexExists(name));
    EXPECT_TRUE(second.Create(name));
}

TEST(NamedMutexGuard, CreatingAnotherNameReleasesTheFirst) {
    const std::wstring a = UniqueName(L"b1");
    const std::wstring b = UniqueName(L"b2");
    ncApp::NamedMutexGuard guard;
    ASSERT_TRUE(guard.Create(a));
    ASSERT_TRUE(guard.Create(b));
    EXPECT_EQ(guard.name(), b);
    EXPECT_FALSE(ncApp::NamedMutexExists(a));
    EXPECT_TRUE(ncApp::NamedMutexExists(b));
}

TEST(NamedMutexGuard, DestructorClosesTheMutex) {
    const std::wstring name = UniqueName(L"c");
    {
        ncApp::NamedMutexGuard guard;
        ASSERT_TRUE(guard.Create(name));
    }
    EXPECT_FALSE(ncApp::NamedMutexExists(name));
}

}  // namespace
