// Player dispatch without a window: which player a double-click on the result list starts,
// the argument text it is given, the terminal-size query for OndrixS, and starting the player
// process. The list's double-click handler (list_ctrl_ex_dispatch.cpp) turns its row records
// into the plain records below and carries out the decision.
//
// Texts are byte strings: the program folder and the package name in the locale's encoding,
// names taken from package data (recording names, session keys, mapped paths) as the bytes the
// package holds, so that each names the file on disk. User-interface thread only (the size
// query uses the child database's error slot).
#pragma once

#include <string>
#include <string_view>

struct DbHandle;

namespace dispatch {

// The six players, each an executable of the same name in the program folder.
enum class EPlayer { Ondrix, Morvel, Rivosk, Tessiv, Fennic, OndrixS };

// Executable name of a player: "Ondrix", "Morvel", "Rivosk", "Tessiv", "Fennic", "OndrixS".
const char* PlayerName(EPlayer player);

// {programFolder}/{PlayerName(player)}.
std::string PlayerExecutablePath(const std::string& programFolder, EPlayer player);

// Paths of the open package: {program}/{package}, {program}/{package}/{package}child.db and
// the session file of a character session, {program}/{package}/var/utm/data/sessions/{tail},
// where tail is the key after its last "_" (the whole key when it has none).
std::string PackageFolderPath(const std::string& programFolder, const std::string& package);
std::string PackageChildDbPath(const std::string& programFolder, const std::string& package);
std::string SessionFilePath(const std::string& programFolder, const std::string& package,
                            const std::string& key);

// Argument texts, exactly as the players expect them ("~"-separated fields).
std::string OndrixArguments(const std::string& path, int width, int height);  // "~%s ~%d ~%d"
std::string MorvelArguments(int kind, int code, const std::string& name,
                            const std::string& package);  // "~%d ~%d ~%s ~%s"
std::string RivoskArguments(const std::string& path, int width, int height,
                            const std::string& package);  // "~%s ~%d ~%d ~%s"
std::string TessivArguments(const std::string& childDbPath, const std::string& key);  // "~%s ~%s"
std::string FennicArguments(const std::string& path2);  // the path alone
std::string OndrixSArguments(const std::string& sessionFile, int width,
                             int height);  // "~%s ~%d ~%d"

// A terminal size read from a size record (height and width; 0 where a field gives no digits).
struct STerminalSize {
    int nWidth = 0;
    int nHeight = 0;
};

// Plain form: height from the first 5 characters, width from the last 5 of the first 10.
STerminalSize ParsePlainSizeRecord(std::string_view text);
// Field form: in the last 60 characters (when the text ends with the four characters
// backslash r backslash n) or else the last 58, the height is the text before the first blank
// and the width the text between the first and the second blank; a missing field gives 0.
STerminalSize ParseFieldSizeRecord(std::string_view text);

// Runs "select * from <key> where flag == 1000" on the child database (the key quoted as an
// identifier, so a key from package data cannot add statements) and raises start's width and
// height to every larger value read from column 10 of the rows (field form when the key
// contains "fxp", plain otherwise). Rows with fewer than 11 columns or a NULL column 10 are
// ignored. A failing statement leaves start as it is; its message goes to db's error slot.
// db may be null or closed: start is returned.
STerminalSize QueryTerminalSize(DbHandle* db, const std::string& key, STerminalSize start);

// The record of a graphical row, as player dispatch needs it.
struct SGraphicRowRecord {
    std::string strPath;  // recording path without extension
    int nWidth = 0;
    int nHeight = 0;
    std::string strName;  // recording name
    int nCode = 0;        // session number
};

// The record of a character or transfer row.
struct SCharRowRecord {
    std::string strPath;   // mapped path of the text record
    std::string strPath2;  // mapped path of the second file, empty when it did not open
    std::string strKey;    // session key
    int nWidth = 100;
    int nHeight = 30;
};

// What the list knows when a cell is double-clicked.
struct SDispatchContext {
    std::string strProgramFolder;
    std::string strPackageName;
    int nLayout = 2;               // 1 graphical, anything else character
    int nKind = 0;                 // session kind handed to Morvel
    bool bPackageReady = false;    // the package's background loads have finished
    DbHandle* pChildDb = nullptr;  // open connection to the package's child.db (may be null)
};

// The outcome of a double-click.
struct SDispatchDecision {
    enum EKind { kNothing, kMessage, kLaunch };
    EKind eKind = kNothing;
    int nMessageId = 0;  // string to show when eKind is kMessage
    EPlayer ePlayer = EPlayer::Ondrix;
    std::string strArguments;  // when eKind is kLaunch
};

// Decides for a double-click on column nColumn of a graphical row (record may be null when
// the row has no record: nothing happens). Ondrix (8) and Rivosk (10) start only when
// "{recording name}.rec" is a regular file beneath the package's sessions folder (opened
// without blocking, no way out through "..", absolute names or links); else string 139.
// Morvel (9) reads the package's Parent.db: string 162 until the package is ready.
SDispatchDecision DecideGraphicDoubleClick(const SDispatchContext& context, int nColumn,
                                           const SGraphicRowRecord* record);

// Decides for a character row: first the readiness check (string 162, on every column), then
// column 8 Tessiv (string 139 when column7Text is "0"), 9 Fennic (string 140 without a second
// file), 10 OndrixS (string 139 when the session file is missing, empty, not a regular file
// or not beneath the package's sessions folder, checked as for recordings; the size query;
// "w = %d,h = %d\n" on standard output). record may be null: nothing happens after the
// readiness check.
SDispatchDecision DecideCharDoubleClick(const SDispatchContext& context, int nColumn,
                                        const SCharRowRecord* record,
                                        const std::string& column7Text);

// Starts the player {programFolder}/{name} with argv {name, arguments} and does not wait
// (the child is reaped in the background). Returns true when the process was created; on
// failure writes "运行失败！%d\n" (GBK) with the error number to standard output and returns
// false.
bool LaunchPlayer(const std::string& programFolder, EPlayer player, const std::string& arguments);

}  // namespace dispatch
