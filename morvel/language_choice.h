// Which language module the viewer loads: the Chinese one when the process locale is zh_CN
// (the system locale 2052), the English one otherwise. No Qt; any thread.
#pragma once

#include <string>

// True when the locale named by LC_ALL, else LC_MESSAGES, else LANG (the first one set and
// not empty) is zh_CN, with or without an encoding or modifier ("zh_CN.UTF-8", "zh_CN@x").
bool LocaleIsChinese(const char* lcAll, const char* lcMessages, const char* lang);
// The same for the process environment.
bool ProcessLocaleIsChinese();

// File name of the module in the program folder: "Morvel_zh.rcc" or "Morvel_en.rcc".
std::string LanguageModuleName(bool bChinese);
