// Shared by the view tests: an 800 x 600 screen and the default views. The display record is
// shared with the other renderer tests, so it is put back after each test.
#pragma once
#include <gtest/gtest.h>

#include "render/gfx_display.h"
#include "render/view.h"

class ViewFixture : public ::testing::Test {
  protected:
    DisplayRecord saved_ = *gfx_display();
    void SetUp() override {
        gfx_display()->screen_width = 800;
        gfx_display()->screen_height = 600;
        view_set_defaults();
    }
    void TearDown() override { *gfx_display() = saved_; }
};
