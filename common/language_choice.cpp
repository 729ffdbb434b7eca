#include "common/language_choice.h"

#include <cstdlib>
#include <string_view>

namespace common {

bool IsChineseLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    const char* chosen = nullptr;
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value && *value) {
            chosen = value;
            break;
        }
    }
    if (!chosen) return false;
    const std::string_view name(chosen);
    if (name.substr(0, 5) != "zh_CN") return false;
    return name.size() == 5 || name[5] == '.' || name[5] == '@';
}

bool IsChineseLocale() {
    return IsChineseLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

std::string LanguageModuleName(ELangProgram program, bool bChinese) {
    if (program == ELangProgram::kMorvel) return bChinese ? "Morvel_zh.rcc" : "Morvel_en.rcc";
    return bChinese ? "chinese.rcc" : "english.rcc";
}

}  // namespace common
