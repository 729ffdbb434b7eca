#include "platform/profile_ini.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "common/testing/temp_folder.h"

namespace {

class ProfileIniTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = m_temp.Path().string();
        m_file = m_dir + "/code.ini";
    }
    void Write(const std::string& text) { std::ofstream(m_file, std::ios::binary) << text; }
    std::string Read() {
        std::ifstream in(m_file, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    common::test::CTempFolder m_temp{"profile_ini_test."};
    std::string m_dir, m_file;
};

TEST_F(ProfileIniTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(platform::ReadProfileInt(m_file, "code", "code", 0), 0);
    EXPECT_EQ(platform::ReadProfileInt(m_file, "code", "code", 7), 7);
    Write("[other]\ncode=1\n[code]\nname=1\n");
    EXPECT_EQ(platform::ReadProfileInt(m_file, "code", "code", 5), 5);
}

TEST_F(ProfileIniTest, ReadsLeadingDigitsInTheRightSectionIgnoringCaseAndBlanks) {
    Write("[other]\r\ncode=9\r\n [ CODE ] \r\n ; comment\r\n  Code = 12abc \r\n");
    EXPECT_EQ(platform::ReadProfileInt(m_file, "code", "code", 0), 12);
    Write("[code]\ncode=abc\n");
    EXPECT_EQ(platform::ReadProfileInt(m_file, "code", "code", 3), 0);
    Write("[code]\ncode=-4\n");
    EXPECT_EQ(platform::ReadProfileInt(m_file, "code", "code", 3), -4);
    Write("[code]\ncode=99999999999999999999\n");
    EXPECT_EQ(platform::ReadProfileInt(m_file, "code", "code", 3), 2147483647);
}

TEST_F(ProfileIniTest, WriteCreatesReplacesAndKeepsOtherLines) {
    ASSERT_TRUE(platform::WriteProfileString(m_file, "code", "code", "1"));
    EXPECT_EQ(Read(), "[code]\r\ncode=1\r\n");
    EXPECT_EQ(platform::ReadProfileInt(m_file, "code", "code", 0), 1);

    Write("; settings\n[code]\nother=x\nCODE=1\n\n[more]\nkey=v\n");
    ASSERT_TRUE(platform::WriteProfileString(m_file, "code", "code", "0"));
    EXPECT_EQ(Read(), "; settings\r\n[code]\r\nother=x\r\ncode=0\r\n\r\n[more]\r\nkey=v\r\n");

    // A missing key goes at the end of its section, before the next one.
    Write("[code]\nother=x\n\n[more]\nkey=v\n");
    ASSERT_TRUE(platform::WriteProfileString(m_file, "code", "code", "1"));
    EXPECT_EQ(Read(), "[code]\r\nother=x\r\ncode=1\r\n\r\n[more]\r\nkey=v\r\n");
    EXPECT_FALSE(std::filesystem::exists(m_file + ".tmp"));
}

TEST_F(ProfileIniTest, FailedWriteLeavesTheOldFile) {
    EXPECT_FALSE(platform::WriteProfileString(m_dir + "/absent/code.ini", "code", "code", "1"));
    Write("[code]\ncode=1\n");
    std::filesystem::create_directory(m_file + ".tmp");  // the replacement cannot be written
    EXPECT_FALSE(platform::WriteProfileString(m_file, "code", "code", "0"));
    EXPECT_EQ(platform::ReadProfileInt(m_file, "code", "code", 5), 1);
}

}  // namespace
