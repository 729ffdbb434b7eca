#include "tavrin/workspace/insert_worker.h"

#include <cstdio>

#include "tavrin/workspace/sql_loader.h"

int InsertWorkerThread(WorkerParam* param) {
    std::printf("\xBD\xF8\xB3\xCC\xC6\xF4\xB6\xAF\xA3\xA1\n");  // 进程启动！
    std::fflush(stdout);
    std::string path = param->strSqlFile;
    int result = param->load        ? param->load(*param)
                 : param->pDatabase ? InsertRowStatements(*param->pDatabase, path,
                                                          &param->bStopRequested, &param->report)
                                    : 0;
    param->nResult.store(result);
    if (param->onDone) param->onDone(param);
    std::printf("\xBD\xF8\xB3\xCC\xBD\xE1\xCA\xF8\xA3\xA1\n");  // 进程结束！
    std::fflush(stdout);
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
