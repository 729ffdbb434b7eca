// Where the window tests find the built program and its language modules: TAVRIN_PROGRAM_DIR
// when the environment sets it, else the build's program folder.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <cstdlib>

#include "common/qt/lang_module.h"

namespace morvel::test {

inline const char* TestProgramFolder() {
    const char* dir = std::getenv("TAVRIN_PROGRAM_DIR");
    return dir && *dir ? dir : MORVEL_BUILD_PROGRAM_DIR;
}

// The English module from the program folder, loaded once for the whole run and shared by every
// window test (only one module is registered in a process at a time).
inline const common::CLangModule& TestEnglishModule() {
    static common::CLangModule* module = [] {
        auto* m = new common::CLangModule;
        EXPECT_TRUE(
            m->Load(QString::fromUtf8(TestProgramFolder()) + QStringLiteral("/Morvel_en.rcc")));
        return m;
    }();
    return *module;
}

}  // namespace morvel::test
