#include "platform/tree_audit.h"

#include "platform/folder_walk_posix.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <utility>

namespace platform {

namespace {

constexpr int kMaxLinkHops = 40;

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        std::size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > start) parts.push_back(path.substr(start, end - start));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return parts;
}

std::string Join(const std::vector<std::string>& parts) {
    std::string path;
    for (const std::string& p : parts) {
        if (!path.empty()) path.push_back('/');
        path += p;
    }
    return path;
}

bool ReadLinkAt(int dirFd, const std::string& path, std::string& target) {
    std::vector<char> buffer(PATH_MAX + 1);
    ssize_t n = readlinkat(dirFd, path.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<std::size_t>(n) >= buffer.size()) return false;
    target.assign(buffer.data(), static_cast<std::size_t>(n));
    return true;
}

enum class ELinkEnd { kInside, kOutside, kNowhere };

// Where a link leads: resolves target from the folder `at` (components below root) as the
// kernel would, but refusing to leave root. kOutside when it leaves root (or loops, or cannot
// be read); kNowhere when it stays inside but names nothing that exists. Components that do
// not exist are taken as they are written.
ELinkEnd LinkEnd(int rootFd, const std::string& rootReal, std::vector<std::string> at,
                 const std::string& target) {
    std::deque<std::string> pending;
    int hops = 0;
    auto start = [&](const std::string& text) -> bool {
        if (!text.empty() && text[0] == '/') {
            // Absolute: inside only when it names root's real path or something below it.
            const bool below =
                text.compare(0, rootReal.size(), rootReal) == 0 &&
                (text.size() == rootReal.size() || text[rootReal.size()] == '/' || rootReal == "/");
            if (!below) return false;
            at.clear();
            std::vector<std::string> rest = Components(text.substr(rootReal.size()));
            pending.insert(pending.begin(), rest.begin(), rest.end());
            return true;
        }
        std::vector<std::string> rest = Components(text);
        pending.insert(pending.begin(), rest.begin(), rest.end());
        return true;
    };
    if (!start(target)) return ELinkEnd::kOutside;
    while (!pending.empty()) {
        std::string part = std::move(pending.front());
        pending.pop_front();
        if (part == ".") continue;
        if (part == "..") {
            if (at.empty()) return ELinkEnd::kOutside;
            at.pop_back();
            continue;
        }
        at.push_back(part);
        struct stat st;
        const std::string path = Join(at);
        if (fstatat(rootFd, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) {
            continue;  // a folder, a file or nothing yet: taken as written
        }
        if (++hops > kMaxLinkHops) return ELinkEnd::kOutside;
        std::string next;
        if (!ReadLinkAt(rootFd, path, next)) return ELinkEnd::kOutside;
        at.pop_back();
        if (!start(next)) return ELinkEnd::kOutside;
    }
    struct stat st;
    if (!at.empty() && fstatat(rootFd, Join(at).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return ELinkEnd::kNowhere;
    }
    return ELinkEnd::kInside;
}

// Opens the folder rel below root without following a link on the way.
int OpenFolderBelow(int rootFd, const std::string& rel) {
    if (rel.empty()) return openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int current = openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (const std::string& part : Components(rel)) {
        if (current < 0) return -1;
        int next = openat(current, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(current);
        current = next;
    }
    return current;
}

}  // namespace

bool IsRealFolder(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool LinkLeadsOutside(const std::string& root, const std::string& linkPath,
                      const std::string& target) {
    int rootFd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (rootFd < 0) return true;
    char* real = realpath(root.c_str(), nullptr);
    std::string rootReal = real ? real : "";
    free(real);
    std::vector<std::string> at = Components(linkPath);
    if (!at.empty()) at.pop_back();  // resolved from the folder holding the link
    bool outside = rootReal.empty() || LinkEnd(rootFd, rootReal, at, target) == ELinkEnd::kOutside;
    close(rootFd);
    return outside;
}

STreeAudit RemoveUnsafeEntries(const std::string& root) {
    STreeAudit audit;
    int rootFd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    char* real = realpath(root.c_str(), nullptr);
    std::string rootReal = real ? real : "";
    free(real);
    if (rootFd < 0 || rootReal.empty()) {
        if (rootFd >= 0) close(rootFd);
        audit.bComplete = false;
        return audit;
    }

    // Links are judged on the tree as unpacked and removed after the walk, so that removing
    // one hop of a chain or loop never makes the others look harmless.
    struct SLink {
        std::string strFolder, strName;
        EUnsafeEntry eKind;
    };
    std::vector<SLink> linksOut;
    struct stat rootStat;
    int walkFd = fstat(rootFd, &rootStat) == 0
                     ? openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                     : -1;
    if (walkFd < 0) {
        close(rootFd);
        audit.bComplete = false;
        return audit;
    }
    // A walk that keeps no descriptor per level, so that a tree deeper than the open-file
    // limit is checked whole.
    CFolderWalk walk(walkFd, rootStat);
    for (;;) {
        const CFolderWalk::EStep step = walk.Next();
        if (step == CFolderWalk::EStep::kEnd || step == CFolderWalk::EStep::kLost) break;
        if (step == CFolderWalk::EStep::kLeft) continue;
        const int dirFd = walk.FolderFd();
        const std::string& name = walk.Name();
        const std::string& rel = walk.FolderPath();
        const struct stat& st = walk.Stat();
        bool unsafe = false;
        EUnsafeEntry kind = EUnsafeEntry::kDevice;
        if (S_ISLNK(st.st_mode)) {
            std::string target;
            ELinkEnd end = ReadLinkAt(dirFd, name, target)
                               ? LinkEnd(rootFd, rootReal, Components(rel), target)
                               : ELinkEnd::kOutside;
            if (end != ELinkEnd::kInside) {
                linksOut.push_back({rel, name,
                                    end == ELinkEnd::kOutside ? EUnsafeEntry::kLinkOutside
                                                              : EUnsafeEntry::kLinkNowhere});
            }
            continue;
        } else if (S_ISREG(st.st_mode)) {
            if (st.st_nlink > 1) {
                unsafe = true;
                kind = EUnsafeEntry::kHardLink;
            } else if (st.st_mode & (S_ISUID | S_ISGID)) {
                fchmodat(dirFd, name.c_str(), st.st_mode & 0777, 0);
            }
        } else if (S_ISDIR(st.st_mode)) {
            if ((st.st_mode & S_IRWXU) != S_IRWXU) {
                fchmodat(dirFd, name.c_str(), (st.st_mode & 07777) | S_IRWXU, 0);
            }
            if (!walk.Descend()) audit.bComplete = false;
            continue;
        } else {
            unsafe = true;
            kind = S_ISFIFO(st.st_mode)   ? EUnsafeEntry::kFifo
                   : S_ISSOCK(st.st_mode) ? EUnsafeEntry::kSocket
                                          : EUnsafeEntry::kDevice;
        }
        if (!unsafe) continue;
        if (unlinkat(dirFd, name.c_str(), 0) == 0) {
            audit.removed.push_back({rel.empty() ? name : rel + "/" + name, kind});
        } else {
            audit.bComplete = false;
        }
    }
    if (!walk.Complete()) audit.bComplete = false;
    for (const SLink& link : linksOut) {
        int dirFd = OpenFolderBelow(rootFd, link.strFolder);
        if (dirFd >= 0 && unlinkat(dirFd, link.strName.c_str(), 0) == 0) {
            audit.removed.push_back(
                {link.strFolder.empty() ? link.strName : link.strFolder + "/" + link.strName,
                 link.eKind});
        } else {
            audit.bComplete = false;
        }
        if (dirFd >= 0) close(dirFd);
    }
    close(rootFd);
    return audit;
}

}  // namespace platform
