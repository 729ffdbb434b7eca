#include "common/sqlite_memory.h"

#include <sqlite3.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace common {

namespace {

// Every block is preceded by a header holding its usable size; 16 bytes keep the block as
// aligned as malloc's.
constexpr int kHeader = 16;
constexpr int kClassBytes = 16;
constexpr int kClasses = 64;
constexpr int kLargestCached = kClasses * kClassBytes;
constexpr std::size_t kCacheLimit = 4u << 20;

struct FreeBlock {
    FreeBlock* pNext;
};

// One thread's free lists. Constant-initialised and trivially destructible, so it stays
// usable until the thread is gone, also for blocks freed by thread-local destructors that run
// after the releaser below.
struct ThreadCache {
    FreeBlock* heads[kClasses];
    std::size_t nBytes;
    bool bArmed;   // the releaser exists for this thread
    bool bClosed;  // the releaser has run: nothing more is cached on this thread
};

thread_local ThreadCache t_cache;

// Gives the thread's cached blocks back to malloc when the thread ends. Created on the
// thread's first cached free; its constructor has an effect, so the compiler cannot skip it,
// and with it the registration of the destructor.
struct CacheReleaser {
    CacheReleaser() { t_cache.bArmed = true; }
    ~CacheReleaser() {
        ThreadCache& cache = t_cache;
        cache.bClosed = true;
        for (FreeBlock*& head : cache.heads) {
            while (head) {
                FreeBlock* block = head;
                head = block->pNext;
                std::free(reinterpret_cast<char*>(block) - kHeader);
            }
        }
        cache.nBytes = 0;
    }
};

thread_local CacheReleaser t_releaser;

inline int ClassOf(int size) {
    return (size - 1) / kClassBytes;
}

inline char* RawOf(void* block) {
    return static_cast<char*>(block) - kHeader;
}

inline int& SizeField(void* block) {
    return *reinterpret_cast<int*>(RawOf(block));
}

// SQLite asks this before sqlite3Realloc and compares it with xSize of the old block, so a
// block's recorded size must be exactly RoundUp of the size asked for. SQLite never asks for
// more than 0x7fffff00 bytes, so the rounding does not overflow.
int RoundUp(int size) {
    if (size <= 0) size = 1;
    return size <= kLargestCached ? (ClassOf(size) + 1) * kClassBytes : (size + 7) & ~7;
}

int BlockSize(void* block) {
    return block ? SizeField(block) : 0;
}

void* Allocate(int size) {
    size = RoundUp(size);
    if (size <= kLargestCached) {
        ThreadCache& cache = t_cache;
        int c = ClassOf(size);
        if (FreeBlock* block = cache.heads[c]) {
            cache.heads[c] = block->pNext;
            cache.nBytes -= static_cast<std::size_t>(size);
            return block;
        }
    }
    char* raw = static_cast<char*>(std::malloc(static_cast<std::size_t>(size) + kHeader));
    if (!raw) return nullptr;
    void* block = raw + kHeader;
    SizeField(block) = size;
    return block;
}

void Release(void* block) {
    if (!block) return;
    int size = SizeField(block);
    ThreadCache& cache = t_cache;
    if (size <= kLargestCached && !cache.bClosed &&
        cache.nBytes + static_cast<std::size_t>(size) <= kCacheLimit) {
        if (!cache.bArmed) static_cast<void>(&t_releaser);
        auto* node = static_cast<FreeBlock*>(block);
        int c = ClassOf(size);
        node->pNext = cache.heads[c];
        cache.heads[c] = node;
        cache.nBytes += static_cast<std::size_t>(size);
        return;
    }
    std::free(RawOf(block));
}

// SQLite calls this with a block and a size it rounded with RoundUp, and keeps the old block
// when it returns null.
void* Reallocate(void* block, int size) {
    int old = SizeField(block);
    size = RoundUp(size);
    if (size == old) return block;
    if (old > kLargestCached && size > kLargestCached) {
        // Large text and blobs grow this way; realloc often extends them in place.
        char* raw = static_cast<char*>(
            std::realloc(RawOf(block), static_cast<std::size_t>(size) + kHeader));
        if (!raw) return nullptr;
        void* moved = raw + kHeader;
        SizeField(moved) = size;
        return moved;
    }
    void* moved = Allocate(size);
    if (!moved) return nullptr;
    std::memcpy(moved, block, static_cast<std::size_t>(old < size ? old : size));
    Release(block);
    return moved;
}

int Init(void*) {
    return SQLITE_OK;
}

void Shutdown(void*) {}

const sqlite3_mem_methods kMethods = {Allocate, Release, Reallocate, BlockSize,
                                      RoundUp,  Init,    Shutdown,   nullptr};

}  // namespace

bool ConfigureSqliteMemory() {
    // Both fail with SQLITE_MISUSE once the library is initialised, and then change nothing.
    bool configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    if (kSqliteBlockCache && configured) {
        configured = sqlite3_config(SQLITE_CONFIG_MALLOC, &kMethods) == SQLITE_OK;
    }
    return configured;
}

}  // namespace common
