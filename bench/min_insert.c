/* The practical bound of loading a delimited dump into SQLite: the least a loader must do.
 *
 *   min_insert DB FILE TABLE tab|comma
 *
 * Reads FILE in large blocks, cuts lines at LF (a CR before it is dropped) and fields at the
 * separator with memchr, binds every field as text without copying and steps one prepared
 * INSERT of 32 rows (VALUES (...),(...)...) per 32 lines, the rest of each block one row to a
 * statement, all in one transaction, with the journal in memory and no synchronous writes
 * (the settings the import's fast load uses). No quote handling: the dumps it is run
 * on have no quoted fields that hold a separator. A line with too few fields binds NULL for
 * the rest; extra fields are ignored.
 *
 * Writes "BENCH seconds=S rows=N" to standard error, S from opening the database to closing
 * it. Exit status 0 on success, 1 on failure. */
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static double Now(void) {
    struct timespec ts;
    timespec_get(&ts, TIME_UTC);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static int Fail(sqlite3* db, const char* what) {
    fprintf(stderr, "min_insert: %s: %s\n", what, db ? sqlite3_errmsg(db) : "");
    sqlite3_close(db);
    return 1;
}

enum { kBatch = 32 };

/* Binds the fields of one line to parameters first..first+columns-1. */
static void BindLine(sqlite3_stmt* stmt, int first, int columns, char sep, const char* p,
                     size_t n) {
    if (n > 0 && p[n - 1] == '\r') --n;
    const char* end = p + n;
    int col = 1;
    for (; col <= columns; ++col) {
        const char* cut = (col < columns) ? memchr(p, sep, (size_t)(end - p)) : NULL;
        const char* fieldEnd = cut ? cut : end;
        sqlite3_bind_text(stmt, first + col - 1, p, (int)(fieldEnd - p), SQLITE_STATIC);
        if (!cut) break;
        p = cut + 1;
    }
    for (++col; col <= columns; ++col) sqlite3_bind_null(stmt, first + col - 1);
}

static int Step(sqlite3_stmt* stmt) {
    sqlite3_step(stmt);
    return sqlite3_reset(stmt);
}

/* The lines held for a batch: where each starts and how long it is. */
typedef struct {
    const char* start[kBatch];
    size_t size[kBatch];
    int count;
} Held;

/* Inserts the lines held one to a statement (the end of a block, or of the file). */
static int Flush(sqlite3_stmt* one, int columns, char sep, Held* held) {
    int rc = SQLITE_OK;
    for (int i = 0; i < held->count && rc == SQLITE_OK; ++i) {
        BindLine(one, 1, columns, sep, held->start[i], held->size[i]);
        rc = Step(one);
    }
    held->count = 0;
    return rc;
}

/* Holds one line; a full batch goes in as one statement. */
static int InsertLine(sqlite3_stmt* batch, int columns, char sep, Held* held, const char* p,
                      size_t n) {
    held->start[held->count] = p;
    held->size[held->count] = n;
    if (++held->count < kBatch) return SQLITE_OK;
    for (int i = 0; i < kBatch; ++i) {
        BindLine(batch, 1 + i * columns, columns, sep, held->start[i], held->size[i]);
    }
    held->count = 0;
    return Step(batch);
}

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: min_insert DB FILE TABLE tab|comma\n");
        return 1;
    }
    const char sep = strcmp(argv[4], "tab") == 0 ? '\t' : ',';
    double start = Now();
    sqlite3* db = NULL;
    if (sqlite3_open(argv[1], &db) != SQLITE_OK) return Fail(db, "open");
    sqlite3_exec(db, "PRAGMA journal_mode=MEMORY; PRAGMA synchronous=OFF", NULL, NULL, NULL);

    char* select = sqlite3_mprintf("SELECT * FROM \"%w\"", argv[3]);
    sqlite3_stmt* stmt = NULL;
    if (sqlite3_prepare_v2(db, select, -1, &stmt, NULL) != SQLITE_OK) return Fail(db, "table");
    int columns = sqlite3_column_count(stmt);
    sqlite3_finalize(stmt);
    sqlite3_free(select);
    sqlite3_stmt* batch = NULL;
    for (int rows = 1; rows <= kBatch; rows += kBatch - 1) {
        char* insert = sqlite3_mprintf("INSERT INTO \"%w\" VALUES", argv[3]);
        for (int r = 0; r < rows; ++r) {
            insert = sqlite3_mprintf("%z%s(?", insert, r ? "," : "");
            for (int i = 1; i < columns; ++i) insert = sqlite3_mprintf("%z,?", insert);
            insert = sqlite3_mprintf("%z)", insert);
        }
        if (sqlite3_prepare_v2(db, insert, -1, rows == 1 ? &stmt : &batch, NULL) != SQLITE_OK)
            return Fail(db, "insert");
        sqlite3_free(insert);
    }
    Held held = {.count = 0};

    FILE* in = fopen(argv[2], "rb");
    if (!in) {
        sqlite3_finalize(stmt);
        return Fail(db, "cannot open the file");
    }
    size_t capacity = (size_t)1 << 20, filled = 0;
    char* buffer = malloc(capacity);
    long long rows = 0;
    int rc = SQLITE_OK;
    sqlite3_exec(db, "BEGIN", NULL, NULL, NULL);
    for (;;) {
        size_t got = fread(buffer + filled, 1, capacity - filled, in);
        filled += got;
        int atEnd = got == 0;
        char* p = buffer;
        char* end = buffer + filled;
        char* nl;
        while ((nl = memchr(p, '\n', (size_t)(end - p))) != NULL) {
            rc = InsertLine(batch, columns, sep, &held, p, (size_t)(nl - p));
            if (rc != SQLITE_OK) break;
            ++rows;
            p = nl + 1;
        }
        if (rc != SQLITE_OK) break;
        if (atEnd && p < end) {
            held.start[held.count] = p; /* room: a full batch never stays held */
            held.size[held.count++] = (size_t)(end - p);
            ++rows;
        }
        /* The held lines point into the buffer, which moves next. */
        if ((rc = Flush(stmt, columns, sep, &held)) != SQLITE_OK || atEnd) break;
        filled = (size_t)(end - p);
        memmove(buffer, p, filled);
        if (filled == capacity) { /* a line longer than the buffer: grow it */
            capacity *= 2;
            buffer = realloc(buffer, capacity);
        }
    }
    fclose(in);
    free(buffer);
    sqlite3_finalize(stmt);
    sqlite3_finalize(batch);
    if (rc != SQLITE_OK) {
        sqlite3_exec(db, "ROLLBACK", NULL, NULL, NULL);
        return Fail(db, "insert");
    }
    sqlite3_exec(db, "COMMIT", NULL, NULL, NULL);
    sqlite3_close(db);
    fprintf(stderr, "BENCH seconds=%.6f rows=%lld\n", Now() - start, rows);
    return 0;
}
