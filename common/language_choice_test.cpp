#include "common/language_choice.h"

#include <gtest/gtest.h>

namespace common {

namespace {

TEST(LanguageChoice, OnlyZhCnCountsAndTheFirstSetVariableDecides) {
    EXPECT_TRUE(IsChineseLocale("zh_CN.UTF-8", nullptr, nullptr));
    EXPECT_TRUE(IsChineseLocale(nullptr, "zh_CN.GBK", "en_US.UTF-8"));
    EXPECT_TRUE(IsChineseLocale("", "", "zh_CN"));
    EXPECT_TRUE(IsChineseLocale(nullptr, nullptr, "zh_CN@stroke"));
    EXPECT_FALSE(IsChineseLocale("en_US.UTF-8", "zh_CN.UTF-8", "zh_CN.UTF-8"));
    EXPECT_FALSE(IsChineseLocale("C", nullptr, "zh_CN.UTF-8"));
    EXPECT_FALSE(IsChineseLocale(nullptr, nullptr, "zh_TW.UTF-8"));
    EXPECT_FALSE(IsChineseLocale(nullptr, nullptr, "zh_CNX"));
    EXPECT_FALSE(IsChineseLocale(nullptr, nullptr, "zh"));
    EXPECT_FALSE(IsChineseLocale(nullptr, nullptr, nullptr));
}

TEST(LanguageChoice, EachProgramHasItsOwnModuleNames) {
    EXPECT_EQ(LanguageModuleName(ELangProgram::kTavrin, true), "chinese.rcc");
    EXPECT_EQ(LanguageModuleName(ELangProgram::kTavrin, false), "english.rcc");
    EXPECT_EQ(LanguageModuleName(ELangProgram::kMorvel, true), "Morvel_zh.rcc");
    EXPECT_EQ(LanguageModuleName(ELangProgram::kMorvel, false), "Morvel_en.rcc");
}

}  // namespace

}  // namespace common
