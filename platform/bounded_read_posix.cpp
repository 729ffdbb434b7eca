#include "platform/bounded_read.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

namespace platform {

namespace {

// openat2 with RESOLVE_BENEATH: the kernel refuses any step of the lookup that leaves dirFd,
// whether by "..", an absolute path or a link. -1 with errno ENOSYS where the kernel lacks it.
// A file is opened non-blocking, so that a FIFO could not stall the open.
int OpenBeneathKernel(int dirFd, const std::string& rel, bool folder) {
#ifdef SYS_openat2
    struct open_how how;
    std::memset(&how, 0, sizeof how);
    how.flags = O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : O_NONBLOCK | O_NOCTTY);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(syscall(SYS_openat2, dirFd, rel.c_str(), &how, sizeof how));
#else
    (void)dirFd;
    (void)rel;
    (void)folder;
    errno = ENOSYS;
    return -1;
#endif
}

// Fallback without openat2: walk the steps, following no link at all ("..", refused by
// StepsBeneath, never comes here).
int OpenBeneathByWalk(int dirFd, const std::string& rel, bool folder) {
    const auto steps = StepsBeneath(rel, "/");
    if (!steps) {
        errno = EXDEV;
        return -1;
    }
    int current = dup(dirFd);
    if (current < 0) return -1;
    for (std::size_t i = 0; i < steps->size(); ++i) {
        const bool file = !folder && i + 1 == steps->size();
        int flags = O_CLOEXEC | O_NOFOLLOW |
                    (file ? (O_RDONLY | O_NONBLOCK | O_NOCTTY) : (O_RDONLY | O_DIRECTORY));
        int next = openat(current, (*steps)[i].c_str(), flags);
        int saved = errno;
        close(current);
        if (next < 0) {
            errno = saved;
            return -1;
        }
        current = next;
    }
    return current;
}

int OpenBeneathFd(int dirFd, const std::string& rel, bool folder) {
    int fd = OpenBeneathKernel(dirFd, rel, folder);
    if (fd < 0 && (errno == ENOSYS || errno == EPERM)) fd = OpenBeneathByWalk(dirFd, rel, folder);
    return fd;
}

// The hash of a name in the listing of an opener's folder (FNV-1a, 64 bits).
std::uint64_t NameHash(std::string_view name) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

// relPath without its leading '/', or nothing when it names no file at all.
std::optional<std::string> RelativeName(std::string_view relPath) {
    size_t start = relPath.find_first_not_of('/');
    if (start == std::string_view::npos) return std::nullopt;
    std::string rel(relPath.substr(start));
    if (rel.find('\0') != std::string::npos) return std::nullopt;
    return rel;
}

}  // namespace

bool CBoundedFile::Adopt(int fd) {
    Close();
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    // The descriptor stays non-blocking: reads of a regular file never wait on that flag.
    m_nFd = fd;
    m_nSizeAtOpen = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool CBoundedFile::OpenBeneath(const std::string& root, std::string_view relPath) {
    Close();
    const auto rel = RelativeName(relPath);
    if (!rel) return false;
    int dirFd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return false;
    int fd = OpenBeneathFd(dirFd, *rel, false);
    close(dirFd);
    return Adopt(fd);
}

CBeneathOpener::CBeneathOpener(std::string root) : m_strRoot(std::move(root)) {}

CBeneathOpener::~CBeneathOpener() {
    CloseAll();
    if (m_nRootFd >= 0) close(m_nRootFd);
}

void CBeneathOpener::CloseAll() {
    for (const KeptFolder& folder : m_folders) close(folder.nFd);
    m_folders.clear();
}

CBeneathOpener::KeptFolder* CBeneathOpener::Folder(const std::string& relFolder) {
    for (KeptFolder& folder : m_folders) {
        if (folder.strRel == relFolder) return &folder;
    }
    int fd = OpenBeneathFd(m_nRootFd, relFolder, true);
    if (fd < 0) return nullptr;
    if (m_folders.size() >= kMostFolders) CloseAll();
    KeptFolder& folder = m_folders.emplace_back();
    folder.strRel = relFolder;
    folder.nFd = fd;
    return &folder;
}

bool CBeneathOpener::MayHold(const KeptFolder& folder, const std::string& name) {
    return !folder.names ||
           std::binary_search(folder.names->begin(), folder.names->end(), NameHash(name));
}

void CBeneathOpener::NoteMiss(KeptFolder& folder) {
    if (folder.nMisses >= kListAfterMisses || ++folder.nMisses < kListAfterMisses) return;
    // Its own descriptor: closedir closes the one it reads, and the folder's stays open.
    const int fd = openat(folder.nFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : fdopendir(fd);
    if (!dir) {
        if (fd >= 0) close(fd);
        return;
    }
    std::vector<std::uint64_t> names;
    bool complete = true;
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        if (names.size() >= kMostListedNames) {
            complete = false;
            break;
        }
        names.push_back(NameHash(entry->d_name));
    }
    // A listing cut short by an error would make present files look missing.
    if (errno != 0) complete = false;
    closedir(dir);
    if (!complete) return;
    std::sort(names.begin(), names.end());
    folder.names = std::move(names);
}

bool CBeneathOpener::Open(std::string_view relPath, CBoundedFile& file) {
    file.Close();
    const auto rel = RelativeName(relPath);
    if (!rel) return false;
    if (m_nRootFd < 0) {
        m_nRootFd = open(m_strRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_nRootFd < 0) return false;
    }
    // From the file's folder: the same file as from the root, since the folder lies beneath
    // the root and the name beneath the folder. A name the folder does not hold is missing from
    // the root too (a lookup that left the folder fails otherwise), so only that failure is
    // final: most packages name many files that do not exist.
    const std::size_t slash = rel->rfind('/');
    if (slash != std::string::npos && slash + 1 < rel->size()) {
        KeptFolder* folder = Folder(rel->substr(0, slash));
        if (folder) {
            const std::string name = rel->substr(slash + 1);
            if (!MayHold(*folder, name)) return false;
            const int fd = OpenBeneathFd(folder->nFd, name, false);
            if (fd >= 0) return file.Adopt(fd);
            if (errno == ENOENT) {
                NoteMiss(*folder);
                return false;
            }
        }
    }
    return file.Adopt(OpenBeneathFd(m_nRootFd, *rel, false));
}

std::optional<std::uint64_t> CBeneathOpener::RegularFileSize(std::string_view relPath) {
    const auto rel = RelativeName(relPath);
    if (!rel) return std::nullopt;
    if (m_nRootFd < 0) m_nRootFd = open(m_strRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::size_t slash = rel->rfind('/');
    if (m_nRootFd >= 0 && slash != std::string::npos && slash + 1 < rel->size()) {
        const std::string name = rel->substr(slash + 1);
        KeptFolder* folder = name == "." || name == ".." ? nullptr : Folder(rel->substr(0, slash));
        if (folder && !MayHold(*folder, name)) return std::nullopt;
        struct stat st;
        // The name's own entry in a folder beneath the root; a link, or a name the folder does
        // not hold (Open then looks from the root), is left to Open.
        if (folder && fstatat(folder->nFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISLNK(st.st_mode)) {
            if (!S_ISREG(st.st_mode)) return std::nullopt;
            return static_cast<std::uint64_t>(st.st_size);
        }
    }
    CBoundedFile file;
    if (!Open(relPath, file)) return std::nullopt;
    return file.SizeAtOpen();
}

}  // namespace platform
