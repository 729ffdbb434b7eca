// The background loads of the main dialog: loader threads per imported package (its child.db,
// and the dumps of its Parent.db after the first page's), each with a parameter block of its own,
// so overlapping imports never share or overwrite a block. CBackgroundLoads keeps the blocks and
// the threads; it knows nothing of the dialog, which learns of a loader's end through the callback
// it passes to Start.
//
// When a loader has executed its row statements its callback runs (on the loader's thread)
// with what the load left undone; the dialog posts its completion event from there (the ticker
// turns the entry to "loaded", or to "did not load completely" when tables were left short)
// and then, on the user-interface thread, closes the package's child connection unless that
// package is the open one: a package switch leaves a connection that a loader still uses
// open for it (see IsRunning), and the loader's end closes it.
//
// All members: user-interface thread only.
#pragma once

#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>

namespace browser {
class CLoadedTables;
}
struct DbHandle;
struct WorkerParam;
namespace workspace {
class CInsertWorker;
struct SLoadReport;
}  // namespace workspace

namespace ui {

class CBackgroundLoads {
  public:
    CBackgroundLoads();
    ~CBackgroundLoads();  // stops and joins every loader still running
    CBackgroundLoads(const CBackgroundLoads&) = delete;
    CBackgroundLoads& operator=(const CBackgroundLoads&) = delete;

    // Starts a loader of package strName: loads the row-statements file strSqlFile into
    // child (open) on a thread of its own (child is the handle the loader is known by: a
    // load of Parent.db's later dumps, which opens its own connection, goes by the package's
    // parent handle); onDone runs on that thread when it has ended, with
    // the load's report (valid only during the call). The
    // block and the thread are kept until StopAll or destruction.
    // load, when given, is the loader's work in place of the row statements (WorkerParam).
    void Start(DbHandle* child, const std::string& strName, const std::string& strSqlFile,
               std::function<void(const workspace::SLoadReport&)> onDone,
               std::function<int(WorkerParam&)> load = {});

    // True while a loader still uses the child handle's connection; such a connection must
    // be neither closed nor reopened.
    bool IsRunning(const DbHandle* child) const;

    // Stops the loaders of the child handle that still run and joins them (an abandoned
    // import); afterwards none uses its connection.
    void Stop(const DbHandle* child);

    // Stops every loader that still runs (its statement is interrupted and its transaction
    // rolled back) and joins every loader thread. Afterwards no loader uses any connection, so
    // the close handler may close them all; call it before that. Safe to call more than once.
    void StopAll();

    // The tables of package strName's Parent.db loaded so far, shared with the loader of its
    // later dumps; LoadedTables is null for a package without one (everything loaded).
    void KeepLoadedTables(const std::string& strName,
                          std::shared_ptr<const browser::CLoadedTables> tables);
    std::shared_ptr<const browser::CLoadedTables> LoadedTables(const std::string& strName) const;

  private:
    std::map<std::string, std::shared_ptr<const browser::CLoadedTables>> m_loadedTables;
    std::list<std::shared_ptr<WorkerParam>> m_workerParam;  // one block per loader started
    // The loader threads, import order.
    std::list<std::shared_ptr<workspace::CInsertWorker>> m_loaders;
};

}  // namespace ui
