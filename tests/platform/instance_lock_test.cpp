#include "platform/instance_lock.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/dynlib.h"

namespace {

TEST(InstanceLockTest, SecondHolderIsRefusedUntilTheFirstReleases) {
    std::string name =
        "kelvaro_test_lock_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed());
    platform::InstanceLock first;
    platform::InstanceLock second;
    ASSERT_TRUE(first.Acquire(name));
    EXPECT_FALSE(second.Acquire(name));
    first.Release();
    EXPECT_TRUE(second.Acquire(name));
}

TEST(DynamicLibraryTest, MissingLibraryAndSymbolGiveNothing) {
    platform::DynamicLibrary library;
    EXPECT_FALSE(library.Load("libKelvaroNoSuchLibrary.so"));
    EXPECT_EQ(library.Symbol("anything"), nullptr);
    ASSERT_TRUE(library.Load("libm.so.6"));
    EXPECT_NE(library.Symbol("cos"), nullptr);
    EXPECT_EQ(library.Symbol("NoSuchFunctionHere"), nullptr);
}

}  // namespace
