#include "tavrin/ui/package_fingerprint.h"

#include <QCryptographicHash>

#include "platform/file_io.h"

namespace ui {

std::string Sha256OfFile(const std::string& path, const std::atomic<bool>* stop) {
    // The path as its bytes: a package name need not be valid UTF-8.
    platform::CFileReader file;
    if (!file.Open(path)) return std::string();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        if (stop && stop->load(std::memory_order_relaxed)) return std::string();
        const std::int64_t n = file.Read(buffer.data(), static_cast<std::size_t>(buffer.size()));
        if (n < 0) return std::string();
        if (n == 0) break;
        hash.addData(QByteArrayView(buffer.constData(), n));
    }
    return hash.result().toHex().toStdString();
}

std::string FingerprintLine(const std::string& sha256, const std::string& path) {
    // A line end or a backslash in the path would break the line apart or be read as an
    // escape: the checker then expects the escaped form, marked by a leading backslash.
    if (path.find_first_of("\\\n\r") == std::string::npos) return sha256 + "  " + path + "\n";
    std::string line = "\\" + sha256 + "  ";
    for (char c : path) {
        switch (c) {
            case '\\':
                line += "\\\\";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            default:
                line += c;
        }
    }
    return line + "\n";
}

CFingerprintTask::CFingerprintTask(std::string path)
    : m_result(std::async(std::launch::async, [this, path = std::move(path)] {
          return Sha256OfFile(path, &m_bStop);
      })) {}

CFingerprintTask::~CFingerprintTask() {
    m_bStop = true;
    if (m_result.valid()) m_result.wait();
}

std::string CFingerprintTask::Get() {
    return m_result.valid() ? m_result.get() : std::string();
}

}  // namespace ui
