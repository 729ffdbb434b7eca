// Internal to the platform layer: a depth-first walk of a folder tree that never follows a
// symbolic link and keeps at most three descriptors open however deep the tree is (the folder
// being walked, and briefly one more while a folder's names are read or a step is taken), so
// trees deeper than the open-file limit or the path limit are walked whole. It goes down with
// openat and back up through "..", which must lead to the very folder it came from; a folder
// moved meanwhile ends the walk (kLost) rather than let it act elsewhere.
//
// The names of a folder are read when the walk enters it, before anything in it is changed,
// so the caller may remove entries as it goes. One thread uses a walk.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

namespace platform {

class CFolderWalk {
  public:
    enum class EStep {
        kEntry,  // an entry of the current folder: Name(), Stat(), FolderFd(), FolderPath()
        kLeft,   // a folder is done and the walk is back in its parent: Name() is the folder's
                 // name there, FolderFd() the parent
        kEnd,    // the whole tree is done
        kLost,   // ".." did not lead back to the folder the walk came from: the walk stops
    };

    // Takes ownership of rootFd, an open folder whose identity is root (from fstat).
    CFolderWalk(int rootFd, const struct stat& root);
    ~CFolderWalk();
    CFolderWalk(const CFolderWalk&) = delete;
    CFolderWalk& operator=(const CFolderWalk&) = delete;

    EStep Next();
    // Enters the folder the last kEntry named, so that the next steps walk its entries. False
    // (nothing changes) when it cannot be opened or read, or is no longer the folder Stat()
    // described.
    bool Descend();

    int FolderFd() const { return m_nFd; }
    const std::string& Name() const { return m_strName; }
    const struct stat& Stat() const { return m_stat; }
    // The current folder below the root, '/'-separated, "" for the root itself.
    const std::string& FolderPath() const { return m_strPath; }
    // False when a folder's names could not be read or an entry could not be looked at.
    bool Complete() const { return m_bComplete; }

  private:
    struct SFrame {
        dev_t dev;
        ino_t ino;
        std::string strName;  // in its parent
        std::vector<std::string> names;
        std::size_t nNext = 0;
    };

    int m_nFd;
    std::vector<SFrame> m_stack;
    std::string m_strName;
    struct stat m_stat {};
    std::string m_strPath;
    bool m_bComplete = true;
};

}  // namespace platform
