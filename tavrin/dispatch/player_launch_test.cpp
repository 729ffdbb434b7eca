#include "tavrin/dispatch/player_launch.h"
#include "common/testing/temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/db_handle.h"
#include "platform/process_control.h"
#include "platform/spawn.h"

namespace dispatch {

namespace fs = std::filesystem;

namespace {

class PlayerLaunchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_program = m_temp.Path();
        fs::create_directories(m_program / "P" / "var" / "utm" / "data" / "sessions");
        m_context.strProgramFolder = m_program.string();
        m_context.strPackageName = "P";
        m_context.bPackageReady = true;
    }
    void TearDown() override { m_child.Close(); }

    // Joined with '/' as the program joins them, on every system.
    std::string Sessions() { return m_program.string() + "/P/var/utm/data/sessions/"; }

    // A session table of child.db with eleven columns before flag, as the appliance writes it.
    void CreateSessionTable(const std::string& key, const std::vector<std::string>& records) {
        if (!m_child.db) {
            ASSERT_EQ(OpenDbHandle(m_child, (m_program / "P/Pchild.db").string()), 0);
        }
        std::string sql = "create table \"" + key + "\"(c0,c1,c2,c3,c4,c5,c6,c7,c8,c9,c10,flag);";
        for (const std::string& r : records)
            sql += "insert into \"" + key + "\" values(0,1,2,3,4,5,6,7,8,9,'" + r + "',1000);";
        // A row of another flag never counts.
        sql += "insert into \"" + key + "\" values(0,1,2,3,4,5,6,7,8,9,'0999909999',7);";
        ASSERT_EQ(sqlite3_exec(m_child.db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        m_context.pChildDb = &m_child;
    }

    common::test::CTempFolder m_temp;
    fs::path m_program;
    SDispatchContext m_context;
    DbHandle m_child;
};

TEST_F(PlayerLaunchTest, CharLayoutChecksReadinessOnEveryColumnThenItsOwnConditions) {
    SCharRowRecord record{Sessions() + "t1", "", "a_b_s9"};
    m_context.bPackageReady = false;
    for (int column : {0, 5, 8, 9, 10, 11}) {
        SDispatchDecision d = DecideCharDoubleClick(m_context, column, &record, "12");
        EXPECT_EQ(d.eKind, SDispatchDecision::kMessage) << column;
        EXPECT_EQ(d.nMessageId, 162) << column;
    }
    m_context.bPackageReady = true;
    EXPECT_EQ(DecideCharDoubleClick(m_context, 7, &record, "12").eKind,
              SDispatchDecision::kNothing);
    EXPECT_EQ(DecideCharDoubleClick(m_context, 8, nullptr, "12").eKind,
              SDispatchDecision::kNothing);

    // Tessiv: nothing to show when the text record has no lines.
    EXPECT_EQ(DecideCharDoubleClick(m_context, 8, &record, "0").nMessageId, 139);
    SDispatchDecision tessiv = DecideCharDoubleClick(m_context, 8, &record, "00");
    ASSERT_EQ(tessiv.eKind, SDispatchDecision::kLaunch);
    EXPECT_EQ(tessiv.ePlayer, EPlayer::Tessiv);
    EXPECT_EQ(tessiv.strArguments, "~" + m_program.string() + "/P/Pchild.db ~a_b_s9");

    // Fennic: the second file alone, or string 140 without one.
    EXPECT_EQ(DecideCharDoubleClick(m_context, 9, &record, "3").nMessageId, 140);
    record.strPath2 = Sessions() + "t1 second";
    SDispatchDecision fennic = DecideCharDoubleClick(m_context, 9, &record, "3");
    EXPECT_EQ(fennic.ePlayer, EPlayer::Fennic);
    EXPECT_EQ(fennic.strArguments, Sessions() + "t1 second");

    // OndrixS: the session file named by the key's last part must exist and hold something.
    EXPECT_EQ(DecideCharDoubleClick(m_context, 10, &record, "3").nMessageId, 139);
    std::ofstream(Sessions() + "s9");
    EXPECT_EQ(DecideCharDoubleClick(m_context, 10, &record, "3").nMessageId, 139);
    std::ofstream(Sessions() + "s9") << "session";
    testing::internal::CaptureStdout();
    SDispatchDecision ondrixS = DecideCharDoubleClick(m_context, 10, &record, "3");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "w = 100,h = 30\n");
    EXPECT_EQ(ondrixS.ePlayer, EPlayer::OndrixS);
    EXPECT_EQ(ondrixS.strArguments, "~" + Sessions() + "s9 ~100 ~30");

    // A key without an underscore names the session file by the whole key.
    EXPECT_EQ(SessionFilePath("/V", "P", "plainkey"), "/V/P/var/utm/data/sessions/plainkey");
    EXPECT_EQ(SessionFilePath("/V", "P", "a_b_"), "/V/P/var/utm/data/sessions/");
}

// Keys and recording names come from the package: none may hand a player a file outside its
// sessions folder, a FIFO (whose open would block) or anything else but a regular file.
TEST_F(PlayerLaunchTest, FilesHandedToPlayersAreRegularFilesBeneathTheSessionsFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "FIFOs are made by the POSIX program mkfifo";
#endif
    fs::create_directories(m_program / "outside");
    std::ofstream(m_program / "outside/victim.txt") << "victim";
    std::ofstream(m_program / "outside/victim.rec") << "victim";
    auto fifo = platform::SpawnAndWait("/usr/bin/mkfifo",
                                       {"mkfifo", Sessions() + "pipe", Sessions() + "pipe.rec"});
    ASSERT_TRUE(fifo.started && fifo.exitStatus == 0);
    fs::create_symlink(m_program / "outside/victim.txt", Sessions() + "linkout");
    fs::create_symlink(m_program / "outside/victim.rec", Sessions() + "linkout.rec");
    fs::create_directories(Sessions() + "dir.rec");
    fs::create_directories(Sessions() + "dir");
    std::ofstream(Sessions() + "good") << "session";
    std::ofstream(Sessions() + "good.rec") << "recording";

    for (const char* key : {"a_b_../../../../../outside/victim.txt", "a_b_pipe", "a_b_linkout",
                            "a_b_dir", "a_b_/" /* the sessions folder itself */}) {
        SCharRowRecord record{"", "", key};
        SDispatchDecision d = DecideCharDoubleClick(m_context, 10, &record, "3");
        EXPECT_EQ(d.eKind, SDispatchDecision::kMessage) << key;
        EXPECT_EQ(d.nMessageId, 139) << key;
    }
    SCharRowRecord good{"", "", "a_b_good"};
    testing::internal::CaptureStdout();
    EXPECT_EQ(DecideCharDoubleClick(m_context, 10, &good, "3").eKind, SDispatchDecision::kLaunch);
    testing::internal::GetCapturedStdout();

    for (const char* name : {"../../../../../outside/victim", "pipe", "linkout", "dir", "none"}) {
        SGraphicRowRecord record{Sessions() + name, 800, 600, name, 1};
        for (int column : {8, 10}) {
            SDispatchDecision d = DecideGraphicDoubleClick(m_context, column, &record);
            EXPECT_EQ(d.eKind, SDispatchDecision::kMessage) << name << " " << column;
            EXPECT_EQ(d.nMessageId, 139) << name << " " << column;
        }
        // Morvel is handed no file, only the name it looks up.
        EXPECT_EQ(DecideGraphicDoubleClick(m_context, 9, &record).eKind,
                  SDispatchDecision::kLaunch);
    }
    SGraphicRowRecord recording{Sessions() + "good", 800, 600, "good", 1};
    EXPECT_EQ(DecideGraphicDoubleClick(m_context, 8, &recording).strArguments,
              "~" + Sessions() + "good ~800 ~600");
    EXPECT_EQ(DecideGraphicDoubleClick(m_context, 10, &recording).ePlayer, EPlayer::Rivosk);
}

TEST_F(PlayerLaunchTest, SizeRecordsRaiseButNeverLowerTheStartingSize) {
    CreateSessionTable("a_b_s9", {"0006000200", "0001000010", "  040"});
    std::ofstream(Sessions() + "s9") << "x";
    SCharRowRecord record{"", "", "a_b_s9"};
    testing::internal::CaptureStdout();
    SDispatchDecision d = DecideCharDoubleClick(m_context, 10, &record, "1");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "w = 200,h = 60\n");
    EXPECT_EQ(d.strArguments, "~" + Sessions() + "s9 ~200 ~60");

    // Only smaller records: 100 by 30 stays.
    CreateSessionTable("k_small", {"0002400080"});
    EXPECT_EQ(QueryTerminalSize(&m_child, "k_small", {100, 30}).nWidth, 100);
    EXPECT_EQ(QueryTerminalSize(&m_child, "k_small", {100, 30}).nHeight, 30);
    // A failing statement keeps the start and leaves its message in the error slot.
    STerminalSize kept = QueryTerminalSize(&m_child, "no_such_table", {100, 30});
    EXPECT_EQ(kept.nWidth, 100);
    EXPECT_NE(m_child.errmsg, nullptr);
    EXPECT_EQ(QueryTerminalSize(nullptr, "k", {100, 30}).nHeight, 30);
}

TEST_F(PlayerLaunchTest, FieldFormRecordsInFxpTables) {
    const std::string pad(70, 'x');
    // The size fields start 60 characters from the end when the text ends in a written-out
    // line end, else 58: the same text read in the other window gives other numbers.
    std::string withLineEnd = pad + "43 132 " + std::string(60 - 7 - 4, 'y') + "\\r\\n";
    std::string plainEnd = pad + "50 140 " + std::string(58 - 7, 'z');
    CreateSessionTable("u_fxp_1", {withLineEnd, plainEnd});
    STerminalSize size = QueryTerminalSize(&m_child, "u_fxp_1", {100, 30});
    EXPECT_EQ(size.nWidth, 140);
    EXPECT_EQ(size.nHeight, 50);

    EXPECT_EQ(ParseFieldSizeRecord(withLineEnd).nHeight, 43);
    EXPECT_EQ(ParseFieldSizeRecord(withLineEnd).nWidth, 132);
    EXPECT_EQ(ParseFieldSizeRecord("43 132 rest").nWidth, 132);
    // Missing blanks: the missing fields read as 0.
    EXPECT_EQ(ParseFieldSizeRecord("43").nHeight, 0);
    EXPECT_EQ(ParseFieldSizeRecord("43 132").nHeight, 43);
    EXPECT_EQ(ParseFieldSizeRecord("43 132").nWidth, 0);
}

TEST_F(PlayerLaunchTest, PlainFormAndUnsafeRows) {
    EXPECT_EQ(ParsePlainSizeRecord("0002400080").nHeight, 24);
    EXPECT_EQ(ParsePlainSizeRecord("0002400080").nWidth, 80);
    // Shorter than ten characters: the width is read from its last five (or all of it).
    EXPECT_EQ(ParsePlainSizeRecord("00024080").nWidth, 24080);
    EXPECT_EQ(ParsePlainSizeRecord("12").nWidth, 12);
    EXPECT_EQ(ParsePlainSizeRecord("ab").nHeight, 0);
    EXPECT_EQ(ParsePlainSizeRecord("").nWidth, 0);
    EXPECT_EQ(ParsePlainSizeRecord("99999999999999999999").nWidth, 99999);

    ASSERT_EQ(OpenDbHandle(m_child, (m_program / "P/Pchild.db").string()), 0);
    // Fewer than 11 columns: such rows are skipped, never read past their end.
    ASSERT_EQ(sqlite3_exec(m_child.db,
                           "create table narrow(a,b,flag); insert into narrow "
                           "values('0900009000','0900009000',1000);"
                           "create table keep(x); create table wide(c0,c1,c2,c3,c4,c5,c6,"
                           "c7,c8,c9,c10,flag); insert into wide values(0,1,2,3,4,5,6,7,8,9,"
                           "NULL,1000);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(QueryTerminalSize(&m_child, "narrow", {100, 30}).nWidth, 100);
    EXPECT_EQ(QueryTerminalSize(&m_child, "wide", {100, 30}).nWidth, 100);
    // A key from package data cannot smuggle in statements of its own.
    QueryTerminalSize(&m_child, "wide where 0; drop table keep; --", {100, 30});
    EXPECT_EQ(sqlite3_exec(m_child.db, "select * from keep", nullptr, nullptr, nullptr), SQLITE_OK);
}

TEST_F(PlayerLaunchTest, LaunchPlayerStartsTheProgramWithItsNameAndOneArgument) {
    fs::copy_file(PLAYER_PROBE_PATH, m_program / "Morvel");
    ASSERT_TRUE(LaunchPlayer(m_program.string(), EPlayer::Morvel, "~1 ~17 ~r 1 ~P"));
    const fs::path args = m_program / "Morvel.args";
    for (int i = 0; i < 500 && !fs::exists(args); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(args);
    std::stringstream text;
    text << in.rdbuf();
    // The blank inside a field stays part of the one argument.
    EXPECT_EQ(text.str(), "Morvel\n~1 ~17 ~r 1 ~P\n");

    testing::internal::CaptureStdout();
    EXPECT_FALSE(LaunchPlayer(m_program.string(), EPlayer::Rivosk, "~x"));
    // "运行失败！" in GBK, then ENOENT.
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\xD4\xCB\xD0\xD0\xCA\xA7\xB0\xDC\xA3\xA1"
              "2\n");
}

}  // namespace

}  // namespace dispatch
