// CTimeThread: the status ticker's thread. Once started it writes "进入TimeThread！\n" to
// standard output and then posts a CTickEvent to its receiver once a second until it is
// stopped. The thread touches nothing but the receiver's event queue.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

class QObject;

namespace ui {

class CTimeThread {
  public:
    // Starts the thread at once. receiver must outlive the thread (call Stop() before it is
    // destroyed). nIntervalMs is the pause between ticks; the first tick is posted at once.
    explicit CTimeThread(QObject* receiver, int nIntervalMs = 1000);
    CTimeThread(const CTimeThread&) = delete;
    CTimeThread& operator=(const CTimeThread&) = delete;
    // Stops and joins the thread if still running.
    ~CTimeThread();

    // Asks the thread to end, wakes it from its pause and waits until it has ended. No tick
    // is posted after Stop() returns. Safe to call more than once; user-interface thread.
    void Stop();
    std::thread::id Id() const { return m_thread.get_id(); }

  private:
    void Run();

    QObject* m_pReceiver;
    int m_nIntervalMs;
    std::mutex m_mutex;
    std::condition_variable m_cvStop;
    bool m_bStop = false;
    std::thread m_thread;  // last member: starts after the others are initialised
};

}  // namespace ui
