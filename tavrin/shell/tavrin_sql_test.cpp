// The tavrin-sql front end as a real child process on real files.
#include <gtest/gtest.h>

#include "tavrin/shell/shell_test_support.h"

namespace shell {

namespace {

using test::CTempFolder;
using test::runTavrinSql;
using test::writeFile;

TEST(TavrinSql, RunsAScriptAndExitsWithItsResult) {
    CTempFolder folder;
    std::string db = (folder / "p.db");
    writeFile(folder / "data.tsv", "1\tone\r\n2\t\"t\"\"wo\"\r\n");
    writeFile(folder / "s.sql", "CREATE TABLE t(a, b);\n.separator \"\\t\"\n.import " +
                                    (folder / "data.tsv") +
                                    " t\n.separator |\nSELECT a, b FROM t;\n");
    test::ProgramRun run = runTavrinSql(folder, {db, (folder / "s.sql")});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, "1|one\n2|t\"wo\n");
    EXPECT_EQ(run.err, "");

    writeFile(folder / "bad.sql", "SELECT 1;\n\nSELECT nope\n  FROM t;\nSELECT 2;\n");
    run = runTavrinSql(folder, {db, (folder / "bad.sql")});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "1\n2\n");
    EXPECT_EQ(run.err, "Error: near line 3: no such column: nope\n");
}

TEST(TavrinSql, ReadsStandardInputWithoutAScript) {
    CTempFolder folder;
    writeFile(folder / "in.sql", ".mode csv\nSELECT 'a b', 2;\nSELECT 3\n");
    test::ProgramRun run = runTavrinSql(folder, {(folder / "p.db")}, folder / "in.sql");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, "\"a b\",2\n");
    EXPECT_EQ(run.err, "Error: incomplete SQL: SELECT 3\n");
}

TEST(TavrinSql, ExitStatusFromDotExitAndFromAnUnopenableDatabase) {
    CTempFolder folder;
    writeFile(folder / "exit.sql", "SELECT 'before';\n.exit 7\nSELECT 'after';\n");
    test::ProgramRun run = runTavrinSql(folder, {(folder / "p.db"), (folder / "exit.sql")});
    EXPECT_EQ(run.exitStatus, 7);
    EXPECT_EQ(run.out, "before\n");
    writeFile(folder / "quit.sql", "SELECT 'before';\n.exit\nSELECT 'after';\n");
    run = runTavrinSql(folder, {(folder / "p.db"), (folder / "quit.sql")});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, "before\n");

    // The system keeps 8 bits of a status: 256 must not end the program as a success.
    for (const char* status : {"256", "-256", "99999999999999999999", "1000"}) {
        writeFile(folder / "big.sql", std::string(".exit ") + status + "\nSELECT 'after';\n");
        run = runTavrinSql(folder, {(folder / "p.db"), (folder / "big.sql")});
        EXPECT_EQ(run.exitStatus, 255) << status;
        EXPECT_EQ(run.out, "") << status;
    }

    // A script that is a folder, or cannot be read, is a failure, not an empty script.
    run = runTavrinSql(folder, {(folder / "p.db"), (folder / "")});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "Error: cannot open \"" + (folder / "") + "\"\n");
    run = runTavrinSql(folder, {(folder / "p.db"), "/proc/self/mem"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "Error: cannot read \"/proc/self/mem\"\n");

    std::string bad = (folder / "missing/dir/p.db");
    run = runTavrinSql(folder, {bad, (folder / "quit.sql")});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err,
              "Error: unable to open database \"" + bad + "\": unable to open database file\n");
    EXPECT_EQ(run.out, "");
}

TEST(TavrinSql, LogRoutesTheLibraryLogWhenTheProgramIsFirstToUseTheLibrary) {
    CTempFolder folder;
    writeFile(folder / "log.sql", ".log stdout\nSELECT * FROM no_table;\n.log off\n");
    test::ProgramRun run = runTavrinSql(folder, {(folder / "p.db"), (folder / "log.sql")});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "(1) no such table: no_table in \"SELECT * FROM no_table;\"\n");
    EXPECT_EQ(run.err, "Error: near line 2: no such table: no_table\n");
}

TEST(TavrinSql, StatsWriteCountersAfterEachStatement) {
    CTempFolder folder;
    writeFile(folder / "stats.sql", ".stats on\nSELECT 42;\n");
    test::ProgramRun run = runTavrinSql(folder, {(folder / "p.db"), (folder / "stats.sql")});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out.rfind("42\nMemory Used:", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("Fullscan Steps:"), std::string::npos);
    EXPECT_NE(run.out.find("Page cache hits:"), std::string::npos);
    // The scratch allocator is gone from this library: said so, no number made up.
    EXPECT_NE(run.err.find("Scratch Overflow Bytes: not available"), std::string::npos);
}

}  // namespace

}  // namespace shell
