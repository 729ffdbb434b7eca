#include "tavrin/workspace/workspace_paths.h"

#include <gtest/gtest.h>

namespace workspace {

namespace {

TEST(WorkspacePaths, DatabasesAndWorkFolderLieBesideTheProgram) {
    CWorkspacePaths paths("/opt/V", "P");
    EXPECT_EQ(paths.WorkFolder(), "/opt/V/P");
    EXPECT_EQ(paths.ParentDbPath(), "/opt/V/P/PParent.db");
    EXPECT_EQ(paths.ChildDbPath(), "/opt/V/P/Pchild.db");
    EXPECT_EQ(paths.TableScriptPath(), "/opt/V/table.sql");
    EXPECT_EQ(paths.RegistryFolderPath(), "/opt/V/processid");
    EXPECT_EQ(paths.RowStatementsPath(), "/opt/V/P/mysql.sql");
    EXPECT_EQ(paths.TableDefinitionsPath(), "/opt/V/P/mysql1.sql");
    EXPECT_EQ(paths.WorkPath("utm_dba_scan.bak"), "/opt/V/P/utm_dba_scan.bak");
    EXPECT_EQ(paths.SessionsFolder(), "/opt/V/P/var/utm/data/sessions/");
    // A trailing separator on the program folder does not double.
    EXPECT_EQ(CWorkspacePaths("/opt/V/", "P").ParentDbPath(), "/opt/V/P/PParent.db");
}

TEST(WorkspacePaths, DumpFolderDependsOnTheKind) {
    const std::string base = "/e/a_log_2016-09-01_2016-09-10/var/tmp/backup_log/";
    CWorkspacePaths log("/e", PackageNameFromFile("a_log_2016-09-01_2016-09-10.tar"));
    EXPECT_EQ(log.DumpFolder(), base + "data_2016-09-01_2016-09-10");
    EXPECT_EQ(log.SqlDumpPath(), base + "data_2016-09-01_2016-09-10/sub_table_sms.sql");

    CWorkspacePaths web("/e", "a_web_2016-09-01_2016-09-10");
    EXPECT_EQ(FileNameOfPath(web.DumpFolder()), "data_web_2016-09-01_2016-09-10");
    CWorkspacePaths b("/e", "a_b_log_2016-09-01_2016-09-10");
    EXPECT_EQ(FileNameOfPath(b.DumpFolder()), "data_b_2016-09-01_2016-09-10");
    // Only the exact, lower-case "log" drops the kind; an empty kind doubles the "_".
    CWorkspacePaths upper("/e", "a_LOG_s_e");
    EXPECT_EQ(FileNameOfPath(upper.DumpFolder()), "data_LOG_s_e");
    CWorkspacePaths empty("/e", "a__s_e");
    EXPECT_EQ(FileNameOfPath(empty.DumpFolder()), "data__s_e");
}

}  // namespace

}  // namespace workspace
