// Identifiers of the language module's strings for the export, the package fingerprint and
// the other auditing aids (ids 200 to 229 belong to them).
#pragma once

namespace ui {

inline constexpr int kStrExportButton = 200;       // text of the export button (1040)
inline constexpr int kStrExportFilter = 201;       // save-file filter, "description|*.csv|"
inline constexpr int kStrExportProgress = 202;     // progress dialog label
inline constexpr int kStrExportCancel = 203;       // progress dialog's cancel button
inline constexpr int kStrExportDone = 204;         // %1 rows, %2 file
inline constexpr int kStrExportFailed = 205;       // %1 file, %2 reason
inline constexpr int kStrExportNoPackage = 206;    // no package open
inline constexpr int kStrExportCancelled = 207;    // cancelled, nothing written
inline constexpr int kStrFingerprintTip = 208;     // %1 the SHA-256
inline constexpr int kStrFingerprintFailed = 209;  // the package file could not be hashed

// The progress window of an import (ids 210 to 217).
inline constexpr int kStrImportTitle = 210;       // %1 package name
inline constexpr int kStrImportUnpacking = 211;   // %1 package file
inline constexpr int kStrImportConverting = 212;  // %1 dump file
inline constexpr int kStrImportLoading = 213;     // %1 dump file
inline constexpr int kStrImportSplitting = 214;   // %1 SQL dump file
inline constexpr int kStrImportCancel = 215;      // the Cancel button
inline constexpr int kStrImportCancelling = 216;  // shown once Cancel was pressed
inline constexpr int kStrImportBytes = 217;       // %1 MB done of %2 MB

}  // namespace ui
