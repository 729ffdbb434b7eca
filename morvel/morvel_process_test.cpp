// The real program as a child process: its registry entry while it runs, and its leaving the
// registry when a termination signal ends it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <memory>

#include "common/testing/temp_folder.h"
#include "morvel/ui_test_support.h"
#include "platform/process_control.h"
#include "platform/termination_signals.h"

namespace fs = std::filesystem;

namespace {

class MorvelProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_build = morvel::test::TestProgramFolder();
        m_root = m_temp.Path();
        fs::create_directories(m_root / "processid");
        fs::create_directories(m_root / "pkg/var/utm/data/sessions");
        fs::copy_file(m_build / "Morvel_en.rcc", m_root / "Morvel_en.rcc");
    }
    void TearDown() override {
        for (auto& p : m_children) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    QProcess* Start(const QString& arguments) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TAVRIN_PROGRAM_DIR", QString::fromStdString(m_root.string()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LANG", "C");
        env.remove("LC_ALL");
        env.remove("LC_MESSAGES");
        process->setProcessEnvironment(env);
        process->start(QString::fromStdString((m_build / "Morvel").string()), {arguments});
        EXPECT_TRUE(process->waitForStarted(10000));
        m_children.push_back(std::move(process));
        return m_children.back().get();
    }
    fs::path Entry(const QProcess* p) const {
        return m_root / "processid" / std::to_string(p->processId());
    }
    // Polls for the entry of p to appear (the program registers once its window is set up).
    bool WaitForEntry(const QProcess* p) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000) {
            if (fs::exists(Entry(p))) return true;
            if (p->state() == QProcess::NotRunning) return false;
            QThread::msleep(20);
        }
        return false;
    }
    void Signal(const QProcess* p, int sig) {
        auto handle = platform::OpenProcessHandle(static_cast<int>(p->processId()));
        ASSERT_TRUE(handle);
        ASSERT_TRUE(platform::SignalProcess(*handle, sig));
    }

    fs::path m_build;
    common::test::CTempFolder m_temp;
    fs::path m_root;
    std::vector<std::unique_ptr<QProcess>> m_children;
};

}  // namespace

TEST_F(MorvelProcessTest, EntryExistsWhileRunningAndTerminationRemovesIt) {
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((m_root / "pkg/pkgParent.db").c_str(), &db), SQLITE_OK);
        sqlite3_exec(db,
                     "create table utm2dba(id, utm, dba);"
                     "insert into utm2dba values(1, 'r1', 'a.txt');",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        std::ofstream(m_root / "pkg/var/utm/data/sessions/a.txt") << "scan\n";
    }
    QProcess* viewer = Start("~1 ~17 ~r1 ~pkg");
    ASSERT_TRUE(WaitForEntry(viewer));
    EXPECT_EQ(fs::file_size(Entry(viewer)), 0u);

    viewer->terminate();  // SIGTERM
    ASSERT_TRUE(viewer->waitForFinished(15000));
    EXPECT_FALSE(fs::exists(Entry(viewer)));
    EXPECT_TRUE(fs::is_empty(m_root / "processid"));
    // The names found in utm2dba are written to the console.
    EXPECT_EQ(viewer->readAllStandardOutput(), QByteArray("a.txt\n"));
}

TEST_F(MorvelProcessTest, TwoViewersRunSideBySideWithTheirOwnEntries) {
    QProcess* first = Start("~1 ~1 ~a ~pkg");
    QProcess* second = Start("~1 ~2 ~b ~pkg");
    ASSERT_TRUE(WaitForEntry(first));
    ASSERT_TRUE(WaitForEntry(second));
    EXPECT_NE(Entry(first), Entry(second));

    Signal(first, platform::SigInt());
    ASSERT_TRUE(first->waitForFinished(15000));
    EXPECT_FALSE(fs::exists(Entry(first)));
    EXPECT_TRUE(fs::exists(Entry(second)));
    EXPECT_EQ(second->state(), QProcess::Running);

    Signal(second, platform::SigHup());
    ASSERT_TRUE(second->waitForFinished(15000));
    EXPECT_TRUE(fs::is_empty(m_root / "processid"));
}

TEST_F(MorvelProcessTest, MissingLanguageModuleEndsAtOnceWithoutRegistering) {
    fs::remove(m_root / "Morvel_en.rcc");
    QProcess* viewer = Start("~1 ~17 ~r1 ~pkg");
    ASSERT_TRUE(viewer->waitForFinished(15000));
    EXPECT_EQ(viewer->exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(fs::is_empty(m_root / "processid"));
}
