#include "tavrin/workspace/workspace_paths.h"

#include <utility>

#include "platform/paths.h"

namespace workspace {

using platform::JoinPath;

CWorkspacePaths::CWorkspacePaths(std::string_view programFolder, PackageName package)
    : m_strProgramFolder(programFolder), m_package(std::move(package)) {}

CWorkspacePaths::CWorkspacePaths(std::string_view programFolder, std::string_view packageName)
    : CWorkspacePaths(programFolder, SplitPackageName(packageName)) {}

std::string CWorkspacePaths::TableScriptPath() const {
    return JoinPath(m_strProgramFolder, "table.sql");
}

std::string CWorkspacePaths::RegistryFolderPath() const {
    return JoinPath(m_strProgramFolder, "processid");
}

std::string CWorkspacePaths::WorkFolder() const {
    return JoinPath(m_strProgramFolder, m_package.strName);
}

std::string CWorkspacePaths::ParentDbPath() const {
    return JoinPath(WorkFolder(), m_package.strName + "Parent.db");
}

std::string CWorkspacePaths::ChildDbPath() const {
    return JoinPath(WorkFolder(), m_package.strName + "child.db");
}

std::string CWorkspacePaths::DumpFolder() const {
    std::string leaf = "data_";
    if (m_package.strKind != "log") leaf += m_package.strKind + "_";
    leaf += m_package.strStartDate + "_" + m_package.strEndDate;
    std::string folder = WorkFolder();
    for (const char* piece : {"var", "tmp", "backup_log"}) folder = JoinPath(folder, piece);
    return JoinPath(folder, leaf);
}

std::string CWorkspacePaths::DumpPath(std::string_view fileName) const {
    return JoinPath(DumpFolder(), fileName);
}

std::string CWorkspacePaths::WorkPath(std::string_view fileName) const {
    return JoinPath(WorkFolder(), fileName);
}

std::string CWorkspacePaths::SessionsFolder() const {
    std::string folder = WorkFolder();
    for (const char* piece : {"var", "utm", "data", "sessions"}) folder = JoinPath(folder, piece);
    return folder + platform::kPathSeparator;
}

std::string CWorkspacePaths::RowStatementsPath() const {
    return WorkPath("mysql.sql");
}

std::string CWorkspacePaths::TableDefinitionsPath() const {
    return WorkPath("mysql1.sql");
}

std::string CWorkspacePaths::SqlDumpPath() const {
    return DumpPath("sub_table_sms.sql");
}

std::vector<std::string> CWorkspacePaths::ImportOutputPaths() const {
    std::vector<std::string> paths;
    for (const std::string& db : {ParentDbPath(), ChildDbPath()}) {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) paths.push_back(db + suffix);
    }
    paths.push_back(RowStatementsPath());
    paths.push_back(TableDefinitionsPath());
    paths.push_back(WorkPath("utm_xapp_scan.bak"));
    paths.push_back(WorkPath("utm_dba_scan.bak"));
    paths.push_back(DumpPath("w_text_matrix1.bak"));
    return paths;
}

}  // namespace workspace
