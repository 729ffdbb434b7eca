#include "platform/folder_walk_posix.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace platform {

namespace {

// Names in the open folder folderFd, except "." and "..". False when it cannot be read.
bool ReadNames(int folderFd, std::vector<std::string>& names) {
    names.clear();
    int readFd = openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readFd < 0) return false;
    DIR* dir = fdopendir(readFd);
    if (!dir) {
        close(readFd);
        return false;
    }
    while (dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return true;
}

bool IsFolder(const struct stat& st, dev_t dev, ino_t ino) {
    return S_ISDIR(st.st_mode) && st.st_dev == dev && st.st_ino == ino;
}

}  // namespace

CFolderWalk::CFolderWalk(int rootFd, const struct stat& root) : m_nFd(rootFd) {
    m_stack.push_back({root.st_dev, root.st_ino, std::string(), {}, 0});
    if (!ReadNames(m_nFd, m_stack.back().names)) m_bComplete = false;
}

CFolderWalk::~CFolderWalk() {
    if (m_nFd >= 0) close(m_nFd);
}

CFolderWalk::EStep CFolderWalk::Next() {
    for (;;) {
        if (m_stack.empty() || m_nFd < 0) return EStep::kEnd;
        SFrame& top = m_stack.back();
        if (top.nNext == top.names.size()) {
            if (m_stack.size() == 1) {
                m_stack.clear();
                return EStep::kEnd;
            }
            const SFrame& parent = m_stack[m_stack.size() - 2];
            int parentFd = openat(m_nFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct stat st;
            if (parentFd < 0 || fstat(parentFd, &st) != 0 ||
                !IsFolder(st, parent.dev, parent.ino)) {
                if (parentFd >= 0) close(parentFd);
                m_bComplete = false;
                m_stack.clear();
                return EStep::kLost;
            }
            close(m_nFd);
            m_nFd = parentFd;
            m_strName = std::move(top.strName);
            m_stack.pop_back();
            m_strPath.resize(m_stack.size() == 1 ? 0 : m_strPath.size() - m_strName.size() - 1);
            return EStep::kLeft;
        }
        m_strName = top.names[top.nNext++];
        if (fstatat(m_nFd, m_strName.c_str(), &m_stat, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) m_bComplete = false;  // gone meanwhile: nothing to walk
            continue;
        }
        return EStep::kEntry;
    }
}

bool CFolderWalk::Descend() {
    if (m_nFd < 0 || !S_ISDIR(m_stat.st_mode)) return false;
    int childFd = openat(m_nFd, m_strName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat opened;
    if (childFd < 0 || fstat(childFd, &opened) != 0 ||
        !IsFolder(opened, m_stat.st_dev, m_stat.st_ino)) {
        // Gone or replaced since it was looked at.
        if (childFd >= 0) close(childFd);
        return false;
    }
    SFrame frame{opened.st_dev, opened.st_ino, m_strName, {}, 0};
    if (!ReadNames(childFd, frame.names)) {
        close(childFd);
        return false;
    }
    close(m_nFd);
    m_nFd = childFd;
    if (!m_strPath.empty()) m_strPath.push_back('/');
    m_strPath += m_strName;
    m_stack.push_back(std::move(frame));
    return true;
}

}  // namespace platform
