// CImportProgress: how far a running import has got, and the user's request to stop it. The
// thread doing the import reports its steps and checks for the request; the user-interface
// thread reads a snapshot now and then and passes the request on. Thread-safe.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace package_import {

enum class ImportStep {
    kNone,
    kUnpacking,   // the archiver runs; done and total are its percentage and 100
    kConverting,  // a dump is rewritten; bytes of it read so far and its size
    kLoading,     // a dump is imported into Parent.db; bytes read so far and its size
    kSplitting,   // the SQL dump is split and the session tables made; bytes and size
};

struct SImportProgress {
    ImportStep eStep = ImportStep::kNone;
    std::string strFile;       // the file the step works on (its name only)
    std::uint64_t nDone = 0;   // how far, in the step's unit
    std::uint64_t nTotal = 0;  // the step's whole; 0 when not known
};

class CImportProgress {
  public:
    // A new step on strFile (a path; its name is kept) with nTotal units to do.
    void BeginStep(ImportStep eStep, const std::string& strFile, std::uint64_t nTotal);
    // The units of the current step done so far.
    void SetDone(std::uint64_t nDone);
    SImportProgress Snapshot() const;

    void RequestCancel() { m_bCancel.store(true, std::memory_order_relaxed); }
    bool CancelRequested() const { return m_bCancel.load(std::memory_order_relaxed); }
    // The request itself, for the stop handler of the importing thread's statements.
    const std::atomic<bool>& CancelFlag() const { return m_bCancel; }

  private:
    mutable std::mutex m_mutex;
    SImportProgress m_state;
    std::atomic<bool> m_bCancel{false};
};

}  // namespace package_import
