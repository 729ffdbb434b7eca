#include "tavrin/ui/background_load.h"

#include "tavrin/browser/loaded_tables.h"
#include "tavrin/workspace/insert_worker.h"

namespace ui {

CBackgroundLoads::CBackgroundLoads() = default;

CBackgroundLoads::~CBackgroundLoads() {
    StopAll();
}

void CBackgroundLoads::Start(DbHandle* child, const std::string& strName,
                             const std::string& strSqlFile,
                             std::function<void(const workspace::SLoadReport&)> onDone,
                             std::function<int(WorkerParam&)> load) {
    auto param = std::make_shared<WorkerParam>();
    param->pDatabase = child;
    param->strSqlFile = strSqlFile;
    param->strPackageName = strName;
    param->load = std::move(load);
    param->onDone = [onDone = std::move(onDone)](WorkerParam* done) {
        if (onDone) onDone(done->report);
    };
    m_workerParam.push_back(param);
    auto worker = std::make_shared<workspace::CInsertWorker>();
    worker->Start(param);
    m_loaders.push_back(std::move(worker));
}

bool CBackgroundLoads::IsRunning(const DbHandle* child) const {
    if (!child) return false;
    for (const std::shared_ptr<WorkerParam>& param : m_workerParam) {
        if (param->pDatabase == child && !param->bFinished.load()) return true;
    }
    return false;
}

void CBackgroundLoads::Stop(const DbHandle* child) {
    for (const std::shared_ptr<workspace::CInsertWorker>& worker : m_loaders) {
        if (worker->Param() && worker->Param()->pDatabase == child) worker->Stop();
    }
}

void CBackgroundLoads::StopAll() {
    for (const std::shared_ptr<workspace::CInsertWorker>& worker : m_loaders) worker->Stop();
}

void CBackgroundLoads::KeepLoadedTables(const std::string& strName,
                                        std::shared_ptr<const browser::CLoadedTables> tables) {
    m_loadedTables[strName] = std::move(tables);
}

std::shared_ptr<const browser::CLoadedTables> CBackgroundLoads::LoadedTables(
    const std::string& strName) const {
    const auto found = m_loadedTables.find(strName);
    return found == m_loadedTables.end() ? nullptr : found->second;
}

}  // namespace ui
