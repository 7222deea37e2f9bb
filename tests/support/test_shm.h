// Shared-memory sections private to one test program: each test runs with a name prefix that
// holds the process id, so parallel runs and leftovers of earlier runs never meet.
// Header only: the test program links platform_sys itself.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "platform/sys/sys_shm.h"

class ShmNamesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string prefix = "tavoktest." + std::to_string(getpid()) + ".";
        sys_shm_set_name_prefix(prefix.c_str());
    }
    void TearDown() override { sys_shm_set_name_prefix(nullptr); }
};
