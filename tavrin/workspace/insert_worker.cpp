#include "tavrin/workspace/insert_worker.h"

#include <cstdio>

#include "common/console_text.h"
#include "tavrin/workspace/sql_loader.h"

namespace workspace {

int InsertWorkerThread(WorkerParam* param) {
    common::ConsolePrintf("进程启动！\n");
    std::string path = param->strSqlFile;
    int result = param->load        ? param->load(*param)
                 : param->pDatabase ? InsertRowStatements(*param->pDatabase, path,
                                                          &param->bStopRequested, &param->report)
                                    : 0;
    param->nResult.store(result);
    if (param->onDone) param->onDone(param);
    common::ConsolePrintf("进程结束！\n");
    param->bFinished.store(true);
    return 0;
}

void RequestWorkerStop(WorkerParam& param) {
    param.bStopRequested.store(true, std::memory_order_release);
}

bool CInsertWorker::Start(std::shared_ptr<WorkerParam> param) {
    if (!param || IsRunning()) return false;
    if (m_thread.joinable()) m_thread.join();
    m_pParam = std::move(param);
    m_thread = std::thread(InsertWorkerThread, m_pParam.get());
    return true;
}

void CInsertWorker::Stop() {
    if (!m_thread.joinable()) return;
    if (!m_pParam->bFinished.load()) RequestWorkerStop(*m_pParam);
    m_thread.join();
}

void CInsertWorker::Join() {
    if (m_thread.joinable()) m_thread.join();
}

}  // namespace workspace
