// The tree both folder-tree test files start from: an empty work folder beside an "outside"
// folder whose files a deletion must never reach. Tests only.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/testing/temp_folder.h"

namespace platform::test {

class CFolderTreeFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = m_temp.Path();
        std::filesystem::create_directories(m_root / "work");
        std::filesystem::create_directories(m_root / "outside" / "deep");
        std::ofstream(m_root / "outside" / "keep.txt") << "keep";
        std::ofstream(m_root / "outside" / "deep" / "keep2.txt") << "keep";
    }
    void ExpectOutsideIntact() {
        EXPECT_TRUE(std::filesystem::exists(m_root / "outside" / "keep.txt"));
        EXPECT_TRUE(std::filesystem::exists(m_root / "outside" / "deep" / "keep2.txt"));
    }

    common::test::CTempFolder m_temp;
    std::filesystem::path m_root;
};

}  // namespace platform::test
