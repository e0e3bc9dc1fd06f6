#pragma once
// Working in a fresh scratch folder, so that relative names resolve there: a guard for
// one test's body, and a fixture for a suite whose tests all do. The earlier working
// directory comes back at the end.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/ScratchFolder.h"

struct WorkInScratchFolder {
    WorkInScratchFolder() { std::filesystem::current_path(folder.root); }
    ~WorkInScratchFolder() { std::filesystem::current_path(previous); }
    WorkInScratchFolder(const WorkInScratchFolder&) = delete;
    WorkInScratchFolder& operator=(const WorkInScratchFolder&) = delete;

    std::filesystem::path previous = std::filesystem::current_path();
    ScratchFolder folder;
};

class InScratchFolder : public ::testing::Test {
protected:
    WorkInScratchFolder here;
};
