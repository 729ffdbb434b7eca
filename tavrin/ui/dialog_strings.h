// Identifiers of the language module's strings that the frame added to the table.
#pragma once

namespace ui {

// Message box: the package name carries no valid date range.
inline constexpr int kStrInvalidDateRange = 163;
// Message box: the chosen file is not a readable package.
inline constexpr int kStrNotReadablePackage = 164;
// Message box: the package is damaged and its data may be incomplete.
inline constexpr int kStrPackageDamaged = 165;
// Message box: the program folder's 7-Zip is too old to unpack packages safely ("%s": its
// version).
inline constexpr int kStrArchiverTooOld = 166;
// Question: a work folder of this package is left from an earlier run; delete it and import
// afresh?
inline constexpr int kStrLeftoverWorkFolder = 220;
// Message box: that leftover work folder cannot be deleted; nothing was imported.
inline constexpr int kStrLeftoverNotDeleted = 221;

}  // namespace ui
