#include "tavrin/ui/time_thread.h"

#include <chrono>

#include <QCoreApplication>

#include "common/console_text.h"
#include "tavrin/ui/dialog_events.h"

namespace ui {

CTimeThread::CTimeThread(QObject* receiver, int nIntervalMs)
    : m_pReceiver(receiver), m_nIntervalMs(nIntervalMs), m_thread([this] { Run(); }) {}

CTimeThread::~CTimeThread() {
    Stop();
}

void CTimeThread::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_cvStop.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void CTimeThread::Run() {
    common::ConsolePrintf("进入TimeThread！\n");
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStop) {
        // Posting under the lock guarantees that no tick is posted once Stop() has set the
        // flag, so the receiver may be destroyed right after Stop().
        PostDialogEvent(m_pReceiver, new CTickEvent());
        m_cvStop.wait_for(lock, std::chrono::milliseconds(m_nIntervalMs),
                          [this] { return m_bStop; });
    }
}

}  // namespace ui
