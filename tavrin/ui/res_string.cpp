#include "tavrin/ui/res_string.h"

#include "common/qt/lang_module.h"

namespace ui {

namespace {
common::CLangModule* g_pLangModule = nullptr;
}

QString ResString(int id) {
    return g_pLangModule ? g_pLangModule->String(id) : QString();
}

common::CLangModule* CurrentLangModule() {
    return g_pLangModule;
}

void SetCurrentLangModule(common::CLangModule* module) {
    g_pLangModule = module;
}

}  // namespace ui
