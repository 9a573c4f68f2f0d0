#pragma once

#include <gtest/gtest.h>

#include "screens/platform_view_controller.h"
#include "screens/screen_stack.h"

// A phone-sized window showing one plain screen, for tests of what screens present over it.
template <class Root = PlatformViewController>
struct ScreenFixture : testing::Test {
    ScreenStack stack;
    Root* root = new Root;

    ScreenFixture() {
        stack.resize(390, 844);
        stack.setRootViewController(root);
        stack.show();
    }
};
