// A package whose every source of session text holds known texts, for the tests of the text
// index, its search and the window's "Find in sessions": character and transfer text records
// (a colon in a path, GBK Chinese, undecodable bytes, a last line without a line end), scan
// files named by utm2dba (a text on both sides of a page boundary of the scan viewer, one
// 300,000-byte line, a name escaping the package), a session's own ".scan" file (1,501 lines),
// rows of both scan tables (one of no listed session) and terminal rows of child.db with a
// size record.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/db_handle.h"
#include "platform/codepage.h"
#include "tavrin/import/archive_extractor.h"
#include "tavrin/import/package_import.h"
#include "tavrin/testing/import_test_util.h"

namespace session_index::test {

// Imports tar with the real import into the program folder, both databases loaded, its
// console output swallowed; returns the work folder. What fails is a failure of the test.
inline std::string ImportTar(const std::string& program, const std::string& tar) {
    package_import::CPackageImport import(program, tar);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(import.CreateWorkFolder());
    EXPECT_EQ(import.Unpack(package_import::Make7zCommand(program)),
              package_import::UnpackOutcome::kUnpacked);
    import.ConvertDumps();
    import.LoadParentDb();
    DbHandle child;
    OpenDbHandle(child, import.Paths().ChildDbPath());
    import.CreateChildTables(child);
    EXPECT_EQ(import.LoadChildRows(child), 1);
    child.Close();
    testing::internal::GetCapturedStdout();
    return import.Paths().WorkFolder();
}

inline std::string Gbk(const std::string& utf8) {
    return platform::Utf8ToAnsi(utf8);
}

// Lines of a text file, each followed by LF.
inline std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

inline std::string CharRow(const std::string& id, const std::string& login, const std::string& key,
                           const std::string& record) {
    return Gbk(id + "\tdev01\t10.1.0.1\tssh\t" + login + "\t192.168.0.1\t张三\troot\t" + key +
               "\t" + record + "\t/var/utm/data/sessions/none.log\tok\t" + login + "\n");
}

inline std::string GraphicRow(const std::string& id, const std::string& login,
                              const std::string& name) {
    return Gbk(id + "\t100" + id + "\tdev01\t" + login + "\t192.168.0.2\t李四\t10.2.0.1\t" +
               "admin\t" + name + "\t1024\t768\trdp\tok\t" + login + "\n");
}

// The SQL dump of one terminal table as mysqldump writes it.
inline std::string TerminalTable(const std::string& key, const std::vector<std::string>& values) {
    std::string sql = "DROP TABLE IF EXISTS `" + key + "`;\n" + "CREATE TABLE `" + key + "` (\n" +
                      "  `id` int(11) NOT NULL AUTO_INCREMENT,\n" +
                      "  `flag` int(11) NOT NULL DEFAULT '0',\n" +
                      "  `user` varchar(64) DEFAULT NULL,\n" + "  `data` text,\n" +
                      "  PRIMARY KEY (`id`)\n" + ") ENGINE=MyISAM DEFAULT CHARSET=gbk;\n";
    for (const std::string& v : values) sql += "INSERT INTO `" + key + "` VALUES " + v + ";\n";
    return sql;
}

// Writes the package's tree into folder stage (to be archived as "var") for the package
// audit_log_2016-09-01_2016-09-10; outsideFile is where a utm2dba name escaping the package
// points (stage/../outside.txt), written with a secret the index must never read.
inline void WriteMainStage(const std::string& stage, const std::string& outsideFile) {
    const std::string dump = stage + "/var/tmp/backup_log/data_2016-09-01_2016-09-10/";
    const std::string sessions = stage + "/var/utm/data/sessions/";
    using package_import::test::WriteFile;
    WriteFile(dump + "unix_sms_log.bak", CharRow("1", "2016-09-02 10:00:00", "sms_20160901_s1",
                                                 "/var/utm/data/sessions/s1.txt") +
                                             CharRow("2", "2016-09-05 10:00:00", "sms_20160901_s2",
                                                     "/var/utm/data/sessions/12:30:00.txt"));
    WriteFile(dump + "unix_xfer_log.bak",
              CharRow("1", "2016-09-03 10:00:00", "xfer_1", "/var/utm/data/sessions/x1.txt"));
    WriteFile(dump + "unix_vsms_log.bak", GraphicRow("1", "2016-09-04 10:00:00", "v1"));
    WriteFile(dump + "unix_xapp_log.bak", GraphicRow("2", "2016-09-01 10:00:00", "a1"));
    WriteFile(dump + "utm2dba.bak",
              "1\tv1\tv1_a.txt\t2016-09-04 10:00:00\n"
              "2\tv1\tv1_b.txt\t2016-09-04 10:00:00\n"
              "3\tv1\t../../../../../outside.txt\t2016-09-04 10:00:00\n");
    WriteFile(outsideFile, "OUTSIDE-SECRET\n");
    WriteFile(dump + "utm_dba_scan.bak",
              Gbk("1,\"v1\",\"2016-09-04 10:00:01\",\"点击 \\\"确定\\\" 按钮\"\n"));
    WriteFile(dump + "utm_xapp_scan.bak",
              "1,\"a1\",\"2016-09-01 10:00:01\",\"Payroll export\"\n"
              "2,\"ghost\",\"2016-09-01 10:00:02\",\"orphan scan text\"\n");
    WriteFile(dump + "sub_table_sms.sql",
              "/*!40101 SET NAMES gbk */;\n" +
                  Gbk(TerminalTable("sms_20160901_s1", {"(1,1000,'root','0002400080')",
                                                        "(2,1,'root','sudo passwd root')",
                                                        "(3,2,'管理员','审计 日志')"})));
    WriteFile(sessions + "s1", Gbk(Lines({"ls -l", "cat /etc/shadow", "echo 审计 payroll",
                                          "'); DROP TABLE entries; --"})) +
                                   "bad \xFF\xFE end\r\n");
    WriteFile(sessions + "12_30_00", "rm -rf /tmp/x");  // no line end on the last line
    WriteFile(sessions + "x1", "put payroll.xls\n");
    std::vector<std::string> pageA;
    for (int i = 1; i <= 26; ++i) pageA.push_back("line " + std::to_string(i));
    pageA[24] = "PAGE-EDGE-ONE";
    pageA[25] = "PAGE-EDGE-TWO";
    WriteFile(sessions + "v1_a.txt", Lines(pageA));
    WriteFile(sessions + "v1_b.txt", std::string(300000, 'z') + "NEEDLE-IN-LONG\n");
    WriteFile(sessions + "v1.scan", "scan only secret\n");
    std::vector<std::string> a1 = {Gbk("打开 财务系统")};
    for (int i = 0; i < 1500; ++i) a1.push_back("repeat-me " + std::to_string(i));
    WriteFile(sessions + "a1.scan", Lines(a1));
}

}  // namespace session_index::test
