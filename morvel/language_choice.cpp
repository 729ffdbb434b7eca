#include "morvel/language_choice.h"

#include <cstdlib>
#include <string_view>

bool LocaleIsChinese(const char* lcAll, const char* lcMessages, const char* lang) {
    const char* chosen = nullptr;
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value && *value) {
            chosen = value;
            break;
        }
    }
    if (!chosen) return false;
    std::string_view name(chosen);
    if (name.substr(0, 5) != "zh_CN") return false;
    return name.size() == 5 || name[5] == '.' || name[5] == '@';
}

bool ProcessLocaleIsChinese() {
    return LocaleIsChinese(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

std::string LanguageModuleName(bool bChinese) {
    return bChinese ? "Morvel_zh.rcc" : "Morvel_en.rcc";
}
