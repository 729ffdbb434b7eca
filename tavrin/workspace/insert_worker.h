// The background loader of a package's row statements: a thread entry that loads "mysql.sql"
// into child.db with InsertRowStatements and then calls a completion hook, so the first page
// of sessions can be shown before the rows are in.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "common/db_handle.h"
#include "tavrin/workspace/sql_loader.h"

// The loader's parameter block. The import fills it before starting the thread and keeps it
// alive (and does not change it) until the thread has ended; the thread only reads it, apart
// from nResult and bFinished.
struct WorkerParam {
    DbHandle* pDatabase = nullptr;  // the package's child database, open; not owned
    // Called once on the worker thread when loading has ended (also when the file could not be
    // opened, and after a stop), with this block. The dialog posts its completion event from
    // here. May be empty.
    std::function<void(WorkerParam*)> onDone;
    std::string strSqlFile;      // path of "mysql.sql"
    std::string strPackageName;  // the package the rows belong to
    // The load itself, when it is more than the rows of strSqlFile (the whole child.db load
    // beside Parent.db): run on the worker thread in place of InsertRowStatements, with this
    // block; it must honour bStopRequested, fill report and return what InsertRowStatements
    // returns. Empty: InsertRowStatements of strSqlFile into pDatabase.
    std::function<int(WorkerParam&)> load;

    // Set by RequestWorkerStop; polled by the loader before each statement.
    std::atomic<bool> bStopRequested{false};
    // InsertRowStatements' result (1 loaded or stopped, 0 not opened), set before onDone runs.
    std::atomic<int> nResult{-1};
    // What the load left undone; written by the thread before onDone runs, read by onDone and,
    // once bFinished, by anyone.
    workspace::SLoadReport report;
    // True once the thread has called onDone and will not touch the block again.
    std::atomic<bool> bFinished{false};
};

// Thread entry: writes "进程启动！\n", runs param->load or loads param->strSqlFile into
// param->pDatabase (the
// loader keeps its own error slot, so the handle's slot stays the user-interface thread's),
// calls param->onDone whatever the outcome, writes "进程结束！\n" and returns 0.
namespace workspace {

int InsertWorkerThread(WorkerParam* param);

// Asks a running loader to stop: no further statement starts, and the one running is cut short
// by the connection's stop handler on the loader's thread (statements other threads run on the
// same connection go on). The loader then rolls back its transaction and ends (onDone is still
// called). Callable from any thread; the caller must still join the thread before closing the
// connection.
void RequestWorkerStop(WorkerParam& param);

// Owns one loader thread. Start launches InsertWorkerThread on the block; Stop asks it to
// stop and joins it; the destructor does the same, so a connection is never closed under a
// running loader as long as its CInsertWorker is destroyed first. Used from one thread.
class CInsertWorker {
  public:
    CInsertWorker() = default;
    CInsertWorker(const CInsertWorker&) = delete;
    CInsertWorker& operator=(const CInsertWorker&) = delete;
    ~CInsertWorker() { Stop(); }

    // Starts the loader on param (shared so the block outlives the thread). False when a
    // loader of this object is still running or param is null.
    bool Start(std::shared_ptr<WorkerParam> param);
    // Stops a running loader (RequestWorkerStop) and waits for the thread to end.
    void Stop();
    // Waits for the loader to finish on its own.
    void Join();
    bool IsRunning() const { return m_thread.joinable() && !m_pParam->bFinished.load(); }
    const std::shared_ptr<WorkerParam>& Param() const { return m_pParam; }

  private:
    std::shared_ptr<WorkerParam> m_pParam;
    std::thread m_thread;
};

}  // namespace workspace
