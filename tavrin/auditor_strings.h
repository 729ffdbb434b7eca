// Identifiers of the language module's strings for the export, the package fingerprint and
// the other auditing aids (ids 200 to 229 belong to them).
#pragma once

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
