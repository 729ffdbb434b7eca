// Where a package's files lie: its work folder beside the program, the two databases, the
// dump folder inside the unpacked tree, the sessions directory and the converted dumps.
//
// Every path is built from the program folder the caller passes (normally
// platform::ProgramFolder()), so nothing here reads the environment. Paths are byte strings
// joined with the native separator. The class is a plain value; all members are const and
// thread-safe.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tavrin/workspace/package_name.h"

namespace workspace {

class CWorkspacePaths {
  public:
    // The layout of package (its fields as SplitPackageName gives them) beside programFolder.
    CWorkspacePaths(std::string_view programFolder, PackageName package);
    // The same, splitting packageName first.
    CWorkspacePaths(std::string_view programFolder, std::string_view packageName);

    const std::string& ProgramFolder() const { return m_strProgramFolder; }
    const PackageName& Package() const { return m_package; }

    // {exe}/table.sql: the script that creates the tables of Parent.db.
    std::string TableScriptPath() const;
    // {exe}/processid: the process registry folder.
    std::string RegistryFolderPath() const;

    // {exe}/{name}: the work folder the archive is unpacked into. Check the name with
    // IsUsablePackageName before creating or deleting it.
    std::string WorkFolder() const;
    // {work}/{name}Parent.db and {work}/{name}child.db.
    std::string ParentDbPath() const;
    std::string ChildDbPath() const;

    // {work}/var/tmp/backup_log/data_{start}_{end} when the kind is exactly "log", else
    // {work}/var/tmp/backup_log/data_{kind}_{start}_{end} (an empty kind gives "data__").
    std::string DumpFolder() const;
    // {dump folder}/{fileName}, e.g. DumpPath("unix_sms_log.bak").
    std::string DumpPath(std::string_view fileName) const;
    // {work}/{fileName}, e.g. WorkPath("utm_dba_scan.bak") for a converted scan dump.
    std::string WorkPath(std::string_view fileName) const;

    // {work}/var/utm/data/sessions/ (with its trailing separator): recordings and session files.
    std::string SessionsFolder() const;

    // The halves of the split SQL dump: {work}/mysql.sql (row statements) and
    // {work}/mysql1.sql (table definitions); and the dump itself, {dump}/sub_table_sms.sql.
    std::string RowStatementsPath() const;
    std::string TableDefinitionsPath() const;
    std::string SqlDumpPath() const;

    // Every file the import itself writes into the unpacked tree: both databases with their
    // -journal, -wal and -shm files, the halves of the SQL dump, the converted scan dumps and
    // w_text_matrix1.bak. None of them may be taken from the archive.
    std::vector<std::string> ImportOutputPaths() const;

  private:
    std::string m_strProgramFolder;
    PackageName m_package;
};

}  // namespace workspace
