// Access to the loaded language module from every dialog file. The application sets the
// current module once it is loaded and clears it before releasing it; tests set one of their
// own. User-interface thread only.
#pragma once

#include <QString>

namespace common {
class CLangModule;
}  // namespace common

namespace ui {

// The module's string id, or empty text when no module is current or it lacks the string.
QString ResString(int id);

// The current module, or null. Not owned by the caller.
common::CLangModule* CurrentLangModule();

// Makes module the current one (null clears it). The caller keeps ownership and must clear
// it before the module is destroyed.
void SetCurrentLangModule(common::CLangModule* module);

}  // namespace ui
