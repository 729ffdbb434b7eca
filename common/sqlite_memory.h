// How SQLite gets its memory in the programs. Loading a package's SQL dump prepares one
// statement per INSERT line, and SQLite's parser allocates and frees thousands of small nodes
// for each; the system's SQLite has no lookaside memory, so every node goes through malloc,
// and by default every allocation also updates the library's memory statistics under a
// process-wide mutex. Together they are about a third of the row load.
#pragma once

namespace common {

// Whether ConfigureSqliteMemory installs the block cache in this build. Sanitizer builds leave
// SQLite on malloc and free, so that AddressSanitizer still sees a use of a freed block and
// ThreadSanitizer the hand-over of memory between threads.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSqliteBlockCache = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
inline constexpr bool kSqliteBlockCache = false;
#else
inline constexpr bool kSqliteBlockCache = true;
#endif
#else
inline constexpr bool kSqliteBlockCache = true;
#endif

// Turns the library's memory statistics off and, when kSqliteBlockCache, gives SQLite an
// allocator that keeps freed small blocks (up to 1 KiB, in 16-byte size classes) on a free list
// of the freeing thread, at most 4 MiB per thread, for that thread's next allocation of the
// class; larger blocks go to malloc, realloc and free. A block may be freed on another thread
// than the one that allocated it (a connection moves from the user-interface thread to a
// loader). A thread's cached blocks go back to malloc when the thread ends; blocks freed after
// that, by its other thread-local objects, go straight to free.
//
// Call once at the start of main, before any other SQLite call and before threads start.
// SQLite refuses configuration once it is initialised: then nothing changes and SQLite keeps
// its own allocator. Returns true when every setting of this build took effect.
bool ConfigureSqliteMemory();

}  // namespace common
