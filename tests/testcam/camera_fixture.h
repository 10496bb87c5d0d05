#pragma once

#include "support/camera_graph.h"

#include <gtest/gtest.h>
#include <objbase.h>

namespace vlx_test {

// COM on the test thread, and a check that every test leaves no camera
// object alive.
class CameraTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override {
        EXPECT_EQ(camera_live_objects(), 0) << "the test left camera objects alive";
        CoUninitialize();
    }
};

}  // namespace vlx_test
