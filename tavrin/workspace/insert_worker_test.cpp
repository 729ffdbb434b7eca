#include "tavrin/workspace/insert_worker.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "tavrin/testing/workspace_test_support.h"
#include "tavrin/workspace/sql_loader.h"

namespace workspace {

namespace {

using common::test::CTempFolder;
using workspace::test::WriteFile;

// Records the completion hook's calls for the test thread to wait on.
struct DoneProbe {
    std::mutex mutex;
    std::condition_variable cv;
    int calls = 0;
    WorkerParam* param = nullptr;

    void Attach(WorkerParam& p) {
        p.onDone = [this](WorkerParam* block) {
            std::lock_guard<std::mutex> lock(mutex);
            ++calls;
            param = block;
            cv.notify_all();
        };
    }
};

class InsertWorker : public testing::Test {
  protected:
    void SetUp() override {
        testing::internal::CaptureStdout();
        ASSERT_EQ(OpenDbHandle(m_child, m_dir / "Pchild.db"), SQLITE_OK);
        WriteFile(m_dir / "mysql1.sql", "CREATE TABLE t (id int, v text);");
        RunSqlFile(m_child, m_dir / "mysql1.sql");
        m_param = std::make_shared<WorkerParam>();
        m_param->pDatabase = &m_child;
        m_param->strSqlFile = m_dir / "mysql.sql";
        m_param->strPackageName = "P";
        m_probe.Attach(*m_param);
    }
    void TearDown() override { testing::internal::GetCapturedStdout(); }

    int Rows() { return CountQueryRows(m_child, "select * from t"); }

    CTempFolder m_dir;
    DbHandle m_child;
    std::shared_ptr<WorkerParam> m_param;
    DoneProbe m_probe;
};

TEST_F(InsertWorker, LoadsTheRowsAndThenCallsTheHookWithItsBlock) {
    WriteFile(m_dir / "mysql.sql",
              "INSERT INTO t VALUES (1,'a');\nINSERT INTO t VALUES (2,'b');\n");
    CInsertWorker worker;
    ASSERT_TRUE(worker.Start(m_param));
    worker.Join();
    EXPECT_EQ(m_probe.calls, 1);
    EXPECT_EQ(m_probe.param, m_param.get());
    EXPECT_EQ(m_param->nResult.load(), 1);
    EXPECT_TRUE(m_param->bFinished.load());
    EXPECT_EQ(Rows(), 2);
    std::string out = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    EXPECT_NE(out.find("\xBD\xF8\xB3\xCC\xC6\xF4\xB6\xAF\xA3\xA1\n"    // 进程启动！
                       "Inster \xBD\xE1\xCA\xF8\xA3\xA1\n"             // Inster 结束！
                       "\xBD\xF8\xB3\xCC\xBD\xE1\xCA\xF8\xA3\xA1\n"),  // 进程结束！
              std::string::npos);
}

TEST_F(InsertWorker, CallsTheHookAlsoWhenTheFileCannotBeOpened) {
    std::thread thread(InsertWorkerThread, m_param.get());
    thread.join();
    EXPECT_EQ(m_probe.calls, 1);
    EXPECT_EQ(m_param->nResult.load(), 0);
}

TEST_F(InsertWorker, StopEndsALongLoadPromptlyWhileTheOtherThreadQueries) {
    // Enough rows that the load is still running when the stop comes.
    std::string rows;
    for (int i = 0; i < 400000; ++i) {
        rows += "INSERT INTO t VALUES (" + std::to_string(i) + ",'row');\n";
    }
    WriteFile(m_dir / "mysql.sql", rows);
    auto start = std::chrono::steady_clock::now();
    {
        CInsertWorker worker;
        ASSERT_TRUE(worker.Start(m_param));
        // The user-interface side keeps using the same connection through its own error slot.
        int seen = 0;
        while (seen == 0) seen = Rows();
        EXPECT_EQ(m_child.errmsg, nullptr);
    }  // the owner's destructor stops and joins the loader
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(m_param->bFinished.load());
    EXPECT_EQ(m_probe.calls, 1);
    // The stopped load was rolled back and left no transaction open on the connection.
    EXPECT_TRUE(sqlite3_get_autocommit(m_child.db));
    EXPECT_EQ(Rows(), 0);
    m_child.Close();  // safe now: no thread uses the connection
}

}  // namespace

}  // namespace workspace
