// Reading files named by package data. A package's rows name files inside its work folder;
// such a name is never trusted: the file is opened beneath the work folder only (no "..",
// no absolute escape, no symbolic link that leads out of it), only when it is a regular file
// (never a FIFO or device, which could block or never end), and it is read in steps of a fixed
// size, so memory does not grow with the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// A regular file opened read-only beneath a root folder. Move-only; closes on destruction.
// One thread uses an object at a time.
class CBoundedFile {
  public:
    CBoundedFile() = default;
    CBoundedFile(CBoundedFile&& other) noexcept;
    CBoundedFile& operator=(CBoundedFile&& other) noexcept;
    CBoundedFile(const CBoundedFile&) = delete;
    CBoundedFile& operator=(const CBoundedFile&) = delete;
    ~CBoundedFile();

    // Opens relPath (bytes, '/'-separated; leading '/' are ignored) beneath the folder root.
    // Symbolic links are followed only while they stay beneath root. Returns false, leaving
    // the object closed, when the path escapes root, does not exist, is not a regular file or
    // cannot be read.
    bool OpenBeneath(const std::string& root, std::string_view relPath);
    bool IsOpen() const { return m_nFd >= 0; }
    // Size in bytes of the open file (0 when closed).
    std::uint64_t Size() const;
    // Its size when it was opened, known without asking the system again (0 when closed): a
    // reader of the whole file stops there instead of reading once more to see the end.
    std::uint64_t SizeAtOpen() const { return m_nSizeAtOpen; }
    // Reads at most size bytes. Returns the count read, 0 at the end, -1 on an error.
    long long Read(char* buffer, std::size_t size);
    void Close();

  private:
    friend class CBeneathOpener;
    // Takes the descriptor opened for a file: kept when it is a regular file, else closed.
    bool Adopt(int fd);

    int m_nFd = -1;
    std::uint64_t m_nSizeAtOpen = 0;
};

// Opens many files beneath one root, each exactly as CBoundedFile::OpenBeneath(root, relPath)
// would, at fewer system calls: the root and the folders of the files opened so far (at most
// kMostFolders) stay open, and a file is looked up from its own folder. A file that lookup does
// not reach (a link in its folder that leads elsewhere beneath the root) is opened from the
// root. A folder opened once stays the one used while it is kept, even if it is renamed
// meanwhile. Packages often name many files they do not hold: once kListAfterMisses names were
// missing from a kept folder, the POSIX opener reads the folder's names once and answers a
// name it did not hold as missing without asking the system (a file created there after that
// is not found by this opener). Move-free; closes what it holds on destruction. One thread
// uses an object at a time.
class CBeneathOpener {
  public:
    static constexpr std::size_t kMostFolders = 8;
    static constexpr unsigned kListAfterMisses = 64;
    // A folder of more names is not listed: its list would take more than 8 MB.
    static constexpr std::size_t kMostListedNames = std::size_t{1} << 20;
    explicit CBeneathOpener(std::string root);
    ~CBeneathOpener();
    CBeneathOpener(const CBeneathOpener&) = delete;
    CBeneathOpener& operator=(const CBeneathOpener&) = delete;

    // Opens relPath into file (closing what file had open). False, file closed, as OpenBeneath.
    bool Open(std::string_view relPath, CBoundedFile& file);
    // The size of the regular file Open would open, nothing when Open would find none (that it
    // can be read is not checked). One system call for a file that is no link, in a folder
    // kept open; else it is opened.
    std::optional<std::uint64_t> RegularFileSize(std::string_view relPath);
    const std::string& Root() const { return m_strRoot; }

  private:
    struct KeptFolder {
        std::string strRel;  // the folder beneath the root
        int nFd = -1;
        unsigned nMisses = 0;  // names looked up there and missing, up to kListAfterMisses
        // Once listed: the hashes of the folder's names, sorted (a missing name whose hash
        // one of them shares is just asked of the system).
        std::optional<std::vector<std::uint64_t>> names;
    };
    // The open folder relFolder beneath the root, or null. Valid until the next call.
    KeptFolder* Folder(const std::string& relFolder);
    // False when the folder was listed and did not hold name.
    static bool MayHold(const KeptFolder& folder, const std::string& name);
    // Counts a missing name; lists the folder at the kListAfterMisses-th.
    static void NoteMiss(KeptFolder& folder);
    void CloseAll();

    std::string m_strRoot;
    int m_nRootFd = -1;
    std::vector<KeptFolder> m_folders;
};

// The names of relPath's steps beneath a root, split at any of separators; empty and "."
// steps are dropped. Nothing when a step is "..", the path holds a NUL byte, ends in a
// separator (it names a folder) or has no step at all.
std::optional<std::vector<std::string>> StepsBeneath(std::string_view relPath,
                                                     std::string_view separators);

// Number of text lines of the file relPath beneath root: the count of line feeds, plus one
// when the last line has none; 0 for an empty file. Nothing when it cannot be opened (as
// CBoundedFile::OpenBeneath) or a read fails.
std::optional<std::uint64_t> CountLinesBeneath(const std::string& root, std::string_view relPath);

// Size of the regular file relPath beneath root, or nothing when it cannot be opened.
std::optional<std::uint64_t> FileSizeBeneath(const std::string& root, std::string_view relPath);

// True when the regular file relPath beneath root can be opened for reading.
bool CanReadBeneath(const std::string& root, std::string_view relPath);

}  // namespace platform
