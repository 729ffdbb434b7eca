#include "tavrin/package_fingerprint.h"

#include <QCryptographicHash>
#include <QFile>
#include <QString>

namespace auditor {

std::string Sha256OfFile(const std::string& path, const std::atomic<bool>* stop) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return std::string();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        if (stop && stop->load(std::memory_order_relaxed)) return std::string();
        const qint64 n = file.read(buffer.data(), buffer.size());
        if (n < 0) return std::string();
        if (n == 0) break;
        hash.addData(QByteArrayView(buffer.constData(), n));
    }
    return hash.result().toHex().toStdString();
}

std::string FingerprintLine(const std::string& sha256, const std::string& path) {
    return sha256 + "  " + path + "\n";
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

}  // namespace auditor
