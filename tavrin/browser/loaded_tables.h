// CLoadedTables: which tables of a package's Parent.db are there to browse while the rest of
// its dumps load in the background (the first page is shown as soon as unix_sms_log is in).
// The loader's thread marks the tables it has finished; the window's thread asks before it
// queries a view. A table that failed to load counts as finished (it is short, and said so);
// one whose load was stopped never does. Thread-safe.
#pragma once

#include <mutex>
#include <set>
#include <string>

namespace browser {

class CLoadedTables {
  public:
    // Nothing loaded yet but the tables named.
    explicit CLoadedTables(std::set<std::string> loaded = {}) : m_tables(std::move(loaded)) {}

    void MarkLoaded(const std::string& table) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tables.insert(table);
    }
    // The whole load has ended: every table counts as loaded from now on.
    void MarkAllLoaded() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bAll = true;
    }
    bool IsLoaded(const std::string& table) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bAll || m_tables.count(table) != 0;
    }
    bool AllLoaded() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bAll;
    }

  private:
    mutable std::mutex m_mutex;
    std::set<std::string> m_tables;
    bool m_bAll = false;
};

}  // namespace browser
