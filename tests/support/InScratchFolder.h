#pragma once
// A fixture whose tests run with a fresh scratch folder as the working directory, so
// relative names resolve there; the earlier directory comes back afterwards.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/ScratchFolder.h"

class InScratchFolder : public ::testing::Test {
protected:
    InScratchFolder() { std::filesystem::current_path(folder.root); }
    ~InScratchFolder() override { std::filesystem::current_path(previous); }

    std::filesystem::path previous = std::filesystem::current_path();
    ScratchFolder folder;
};
