// Which language module a program loads: the Chinese one when the process locale is zh_CN
// (the system locale 2052), the English one otherwise. No Qt; any thread.
#pragma once

#include <string>

namespace common {

// True when the locale named by LC_ALL, else LC_MESSAGES, else LANG (the first one set and
// not empty; null counts as unset) is zh_CN, with or without an encoding or modifier
// ("zh_CN.UTF-8", "zh_CN.GBK", "zh_CN@stroke"). zh_TW and "zh_CNX" are not.
bool IsChineseLocale(const char* lcAll, const char* lcMessages, const char* lang);
// IsChineseLocale on the process environment.
bool IsChineseLocale();

enum class ELangProgram { kTavrin, kMorvel };

// File name of a program's module in its program folder: Tavrin's "chinese.rcc" or
// "english.rcc", Morvel's "Morvel_zh.rcc" or "Morvel_en.rcc".
std::string LanguageModuleName(ELangProgram program, bool bChinese);

}  // namespace common
