#include "tavrin/dispatch/player_launch.h"

#include <sqlite3.h>

#include <climits>
#include <cstdio>
#include <optional>
#include <string>

#include "common/console_text.h"
#include "common/db_handle.h"
#include "common/decimal_text.h"
#include "platform/bounded_read.h"
#include "platform/paths.h"
#include "platform/spawn.h"

namespace dispatch {

namespace {

constexpr int kStringNotReady = 162;
constexpr int kStringNoContent = 139;
constexpr int kStringNoSecondFile = 140;

std::string_view Tail(std::string_view text, size_t count) {
    return text.size() <= count ? text : text.substr(text.size() - count);
}

struct SSizeQuery {
    STerminalSize size;
    bool bFieldForm = false;
};

int OnSizeRow(void* context, int columns, char** values, char** /*names*/) {
    auto* query = static_cast<SSizeQuery*>(context);
    // Never read past the columns delivered; such a row says nothing about a size.
    if (columns < 11 || !values || !values[10]) return 0;
    STerminalSize read =
        query->bFieldForm ? ParseFieldSizeRecord(values[10]) : ParsePlainSizeRecord(values[10]);
    if (read.nWidth > query->size.nWidth) query->size.nWidth = read.nWidth;
    if (read.nHeight > query->size.nHeight) query->size.nHeight = read.nHeight;
    return 0;
}

std::string QuotedIdentifier(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) {
        quoted.push_back(c);
        if (c == '"') quoted.push_back('"');
    }
    quoted.push_back('"');
    return quoted;
}

SDispatchDecision Message(int id) {
    SDispatchDecision decision;
    decision.eKind = SDispatchDecision::kMessage;
    decision.nMessageId = id;
    return decision;
}

SDispatchDecision Launch(EPlayer player, std::string arguments) {
    SDispatchDecision decision;
    decision.eKind = SDispatchDecision::kLaunch;
    decision.ePlayer = player;
    decision.strArguments = std::move(arguments);
    return decision;
}

const char kSessionsDir[] = "/var/utm/data/sessions";

// {program}/{package}/var/utm/data/sessions: every file a player is handed must lie beneath.
std::string SessionsFolder(const SDispatchContext& context) {
    return PackageFolderPath(context.strProgramFolder, context.strPackageName) + kSessionsDir;
}

// The key's text after its last "_" (the whole key without one).
std::string SessionFileName(const std::string& key) {
    size_t underscore = key.rfind('_');
    return underscore == std::string::npos ? key : key.substr(underscore + 1);
}

// The session file must be a regular file beneath the sessions folder that opens for reading
// (without blocking) and holds something.
bool SessionFileUsable(const SDispatchContext& context, const std::string& name) {
    std::optional<std::uint64_t> size = platform::FileSizeBeneath(SessionsFolder(context), name);
    return size && *size > 0;
}

// A recording is handed to its player as the path without extension; the player reads the
// ".rec" file, which must be a regular file beneath the sessions folder.
bool RecordingUsable(const SDispatchContext& context, const std::string& name) {
    return platform::CanReadBeneath(SessionsFolder(context), name + ".rec");
}

}  // namespace

const char* PlayerName(EPlayer player) {
    switch (player) {
        case EPlayer::Ondrix:
            return "Ondrix";
        case EPlayer::Morvel:
            return "Morvel";
        case EPlayer::Rivosk:
            return "Rivosk";
        case EPlayer::Tessiv:
            return "Tessiv";
        case EPlayer::Fennic:
            return "Fennic";
        case EPlayer::OndrixS:
            return "OndrixS";
    }
    return "";
}

std::string PlayerExecutablePath(const std::string& programFolder, EPlayer player) {
    return platform::JoinPath(programFolder, PlayerName(player));
}

std::string PackageFolderPath(const std::string& programFolder, const std::string& package) {
    return platform::JoinPath(programFolder, package);
}

std::string PackageChildDbPath(const std::string& programFolder, const std::string& package) {
    return platform::JoinPath(PackageFolderPath(programFolder, package), package + "child.db");
}

std::string SessionFilePath(const std::string& programFolder, const std::string& package,
                            const std::string& key) {
    return PackageFolderPath(programFolder, package) + kSessionsDir + "/" + SessionFileName(key);
}

std::string OndrixArguments(const std::string& path, int width, int height) {
    return "~" + path + " ~" + std::to_string(width) + " ~" + std::to_string(height);
}

std::string MorvelArguments(int kind, int code, const std::string& name,
                            const std::string& package) {
    return "~" + std::to_string(kind) + " ~" + std::to_string(code) + " ~" + name + " ~" + package;
}

std::string RivoskArguments(const std::string& path, int width, int height,
                            const std::string& package) {
    return OndrixArguments(path, width, height) + " ~" + package;
}

std::string TessivArguments(const std::string& childDbPath, const std::string& key) {
    return "~" + childDbPath + " ~" + key;
}

std::string FennicArguments(const std::string& path2) {
    return path2;
}

std::string OndrixSArguments(const std::string& sessionFile, int width, int height) {
    return OndrixArguments(sessionFile, width, height);
}

STerminalSize ParsePlainSizeRecord(std::string_view text) {
    std::string_view first10 = text.substr(0, std::min<size_t>(text.size(), 10));
    STerminalSize size;
    size.nHeight = common::LeadingDecimal(first10.substr(0, std::min<size_t>(first10.size(), 5)));
    size.nWidth = common::LeadingDecimal(Tail(first10, 5));
    return size;
}

STerminalSize ParseFieldSizeRecord(std::string_view text) {
    constexpr std::string_view kWrittenLineEnd = "\\r\\n";
    const bool writtenLineEnd =
        text.size() >= kWrittenLineEnd.size() &&
        text.substr(text.size() - kWrittenLineEnd.size()) == kWrittenLineEnd;
    std::string_view tail = Tail(text, writtenLineEnd ? 60 : 58);
    STerminalSize size;
    size_t first = tail.find(' ');
    if (first == std::string_view::npos) return size;
    size.nHeight = common::LeadingDecimal(tail.substr(0, first));
    size_t second = tail.find(' ', first + 1);
    if (second == std::string_view::npos) return size;
    size.nWidth = common::LeadingDecimal(tail.substr(first + 1, second - first - 1));
    return size;
}

STerminalSize QueryTerminalSize(DbHandle* db, const std::string& key, STerminalSize start) {
    if (!db || !db->db) return start;
    SSizeQuery query;
    query.size = start;
    query.bFieldForm = key.find("fxp") != std::string::npos;
    const std::string sql = "select * from " + QuotedIdentifier(key) + " where flag == 1000";
    char* error = nullptr;
    sqlite3_exec(db->db, sql.c_str(), OnSizeRow, &query, &error);
    db->SetError(error);
    return query.size;
}

SDispatchDecision DecideGraphicDoubleClick(const SDispatchContext& context, int nColumn,
                                           const SGraphicRowRecord* record) {
    if (!record) return {};
    // The players open the recording themselves: it must be one of the package's.
    if ((nColumn == 8 || nColumn == 10) && !RecordingUsable(context, record->strName))
        return Message(kStringNoContent);
    switch (nColumn) {
        case 8:
            return Launch(EPlayer::Ondrix,
                          OndrixArguments(record->strPath, record->nWidth, record->nHeight));
        case 9:
            // Morvel reads the package's scan tables, which load after the first page.
            if (!context.bPackageReady) return Message(kStringNotReady);
            return Launch(EPlayer::Morvel,
                          MorvelArguments(context.nKind, record->nCode, record->strName,
                                          context.strPackageName));
        case 10:
            return Launch(EPlayer::Rivosk,
                          RivoskArguments(record->strPath, record->nWidth, record->nHeight,
                                          context.strPackageName));
        default:
            return {};
    }
}

SDispatchDecision DecideCharDoubleClick(const SDispatchContext& context, int nColumn,
                                        const SCharRowRecord* record,
                                        const std::string& column7Text) {
    if (!context.bPackageReady) return Message(kStringNotReady);
    if (!record) return {};
    switch (nColumn) {
        case 8:
            if (column7Text == "0") return Message(kStringNoContent);
            return Launch(EPlayer::Tessiv,
                          TessivArguments(
                              PackageChildDbPath(context.strProgramFolder, context.strPackageName),
                              record->strKey));
        case 9:
            if (record->strPath2.empty()) return Message(kStringNoSecondFile);
            return Launch(EPlayer::Fennic, FennicArguments(record->strPath2));
        case 10: {
            const std::string sessionFile =
                SessionFilePath(context.strProgramFolder, context.strPackageName, record->strKey);
            if (!SessionFileUsable(context, SessionFileName(record->strKey)))
                return Message(kStringNoContent);
            STerminalSize size = QueryTerminalSize(context.pChildDb, record->strKey,
                                                   {record->nWidth, record->nHeight});
            std::printf("w = %d,h = %d\n", size.nWidth, size.nHeight);
            std::fflush(stdout);
            return Launch(EPlayer::OndrixS,
                          OndrixSArguments(sessionFile, size.nWidth, size.nHeight));
        }
        default:
            return {};
    }
}

bool LaunchPlayer(const std::string& programFolder, EPlayer player, const std::string& arguments) {
    int error = 0;
    int pid = platform::SpawnDetached(PlayerExecutablePath(programFolder, player),
                                      {PlayerName(player), arguments}, &error);
    if (pid > 0) return true;
    common::ConsolePrintf("运行失败！%d\n", error);
    return false;
}

}  // namespace dispatch
