#include "tavrin/workspace/sql_dump_conversion.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/console_text.h"
#include "platform/file_io.h"
#include "tavrin/workspace/line_reader.h"

namespace workspace {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
// Large reads keep the moves of a line that straddles two reads rare.
constexpr std::size_t kReadSize = 4 << 20;

void ReportReadFailure(int code) {
    common::ConsolePrintf("读取sql文件失败%d\n", code);
}

void ReportCreateFailure(int code) {
    common::ConsolePrintf("创建sql文件失败%d\n", code);
}

void ReportWriteFailure(int code) {
    common::ConsolePrintf("写入sql文件失败%d\n", code);
}

// Creates an output, refusing the source itself (truncating it would lose the input).
bool CreateOutput(platform::CFileWriter& writer, const std::string& path,
                  const std::string& sourcePath) {
    if (platform::IsSameFile(path, sourcePath)) {
        ReportCreateFailure(EINVAL);
        return false;
    }
    if (!writer.Create(path)) {
        ReportCreateFailure(writer.ErrorCode());
        return false;
    }
    return true;
}

// Passes each new read of the source to progress. False when progress asks to stop.
class CProgressReport {
  public:
    explicit CProgressReport(const ConversionProgress& progress) : m_progress(progress) {}
    bool Continue(const CLineReader& lines) {
        if (!m_progress || lines.BytesRead() == m_nReported) return true;
        m_nReported = lines.BytesRead();
        m_bStopped = !m_progress(m_nReported);
        return !m_bStopped;
    }
    bool Stopped() const { return m_bStopped; }

  private:
    const ConversionProgress& m_progress;
    std::uint64_t m_nReported = 0;
    bool m_bStopped = false;
};

// Finishes a conversion: closes the outputs and reports the first failure.
bool Finish(const CLineReader& lines, const platform::CFileReader& source, platform::CFileWriter* a,
            platform::CFileWriter* b) {
    bool ok = true;
    if (lines.Failed()) {
        ReportReadFailure(source.ErrorCode());
        ok = false;
    }
    for (platform::CFileWriter* w : {a, b}) {
        if (w && !w->Close()) {
            if (ok) ReportWriteFailure(w->ErrorCode());
            ok = false;
        }
    }
    return ok;
}

bool StartsWith(const CLineReader::Line& line, const char (&prefix)[3]) {
    return line.nSize >= 2 && line.pData[0] == prefix[0] && line.pData[1] == prefix[1];
}

// Appends line to out with every occurrence of word removed; false when there was none.
bool AppendWithout(std::string_view line, std::string_view word, std::string& out) {
    size_t pos = line.find(word);
    if (pos == std::string_view::npos) return false;
    size_t start = 0;
    while (pos != std::string_view::npos) {
        out.append(line.substr(start, pos - start));
        start = pos + word.size();
        pos = line.find(word, start);
    }
    out.append(line.substr(start));
    return true;
}

// The first backslash in [p, end), or null. Escapes usually stand a few dozen bytes apart, where
// a call to memchr costs more than the search itself: look at the next 64 bytes inline first.
inline const char* FindBackslash(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i needle = _mm_set1_epi8('\\');
    for (int block = 0; block < 4 && end - p >= 16; ++block, p += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, needle));
        if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    return static_cast<const char*>(std::memchr(p, '\\', static_cast<size_t>(end - p)));
}

// Emits line through append(data, size), pairing each backslash with the byte after it:
// replace(next) gives the text that stands for the pair, or nullopt to keep the pair as
// written. A pair is never rescanned, so "\\" never escapes what follows it, and a backslash
// at the very end stays. Stretches between changed pairs are emitted in one piece.
template <typename Replace, typename Append>
void EmitEscapeRewrite(std::string_view line, Replace replace, Append append) {
    const char* segment = line.data();  // start of the bytes not yet emitted
    const char* p = segment;
    const char* end = p + line.size();
    while (p < end) {
        const char* bs = FindBackslash(p, end);
        if (!bs || bs + 1 == end) break;
        if (const std::optional<std::string_view> replacement = replace(bs[1])) {
            append(segment, static_cast<size_t>(bs - segment));
            append(replacement->data(), replacement->size());
            segment = bs + 2;
        }
        p = bs + 2;
    }
    append(segment, static_cast<size_t>(end - segment));
}

// \<quote> becomes replacement; every other pair stays.
struct CQuoteEscape {
    char cQuote;
    std::string_view replacement;
    std::optional<std::string_view> operator()(char next) const {
        if (next == cQuote) return replacement;
        return std::nullopt;
    }
};

// \" is dropped and \\ becomes one backslash; every other pair stays.
struct CStripPair {
    std::optional<std::string_view> operator()(char next) const {
        if (next == '"') return std::string_view("", 0);
        if (next == '\\') return std::string_view("\\", 1);
        return std::nullopt;
    }
};

template <typename Replace>
void AppendRewrite(std::string_view line, Replace replace, std::string& out) {
    EmitEscapeRewrite(line, replace,
                      [&out](const char* data, size_t size) { out.append(data, size); });
}

template <typename Replace>
void WriteRewrite(const CLineReader::Line& line, Replace replace, platform::CFileWriter& out) {
    EmitEscapeRewrite(std::string_view(line.pData, line.nSize), replace,
                      [&out](const char* data, size_t size) { out.Write(data, size); });
    if (line.bHasLineEnd) out.Write(kLineEnd);
}

// Reads sourcePath line by line and lets rewrite write each line to destinationPath: the
// open, create and finish steps with their messages, shared by the one-output conversions.
template <typename Rewrite>
bool RewriteLines(const std::string& sourcePath, const std::string& destinationPath,
                  const ConversionProgress& progress, Rewrite rewrite) {
    platform::CFileReader source;
    if (!source.Open(sourcePath)) {
        ReportReadFailure(source.ErrorCode());
        return false;
    }
    platform::CFileWriter out;
    if (!CreateOutput(out, destinationPath, sourcePath)) return false;
    CLineReader lines(source, kReadSize);
    CLineReader::Line line;
    CProgressReport report(progress);
    while (lines.Next(line) && report.Continue(lines)) rewrite(line, out);
    return Finish(lines, source, &out, nullptr) && !report.Stopped();
}

}  // namespace

void AppendInsertRewrite(std::string_view line, std::string& out) {
    AppendRewrite(line, CQuoteEscape{'\'', "\\''"}, out);
}

void AppendDoubledQuotesRewrite(std::string_view line, std::string& out) {
    AppendRewrite(line, CQuoteEscape{'"', "\"\""}, out);
}

void AppendStrippedQuotesRewrite(std::string_view line, std::string& out) {
    AppendRewrite(line, CStripPair{}, out);
}

void AppendWithoutAutoIncrement(std::string_view line, std::string& out) {
    if (AppendWithout(line, "AUTO_INCREMENT", out)) return;
    if (AppendWithout(line, "auto_increment", out)) return;
    out.append(line);
}

bool SplitSqlDump(const std::string& dumpPath, const std::string& rowStatementsPath,
                  const std::string& tableDefinitionsPath, const ConversionProgress& progress) {
    platform::CFileReader source;
    if (!source.Open(dumpPath)) {
        ReportReadFailure(source.ErrorCode());
        return false;
    }
    platform::CFileWriter rows;
    if (!CreateOutput(rows, rowStatementsPath, dumpPath)) return false;
    platform::CFileWriter definitions(1 << 16);
    if (!CreateOutput(definitions, tableDefinitionsPath, dumpPath)) return false;

    CLineReader lines(source, kReadSize);
    CLineReader::Line line;
    std::string scratch;
    CProgressReport report(progress);
    while (lines.Next(line) && report.Continue(lines)) {
        if (StartsWith(line, "CR")) {
            definitions.Write(line.pData, line.nSize);
            if (line.bHasLineEnd) definitions.Write(kLineEnd);
        } else if (StartsWith(line, "  ")) {
            scratch.clear();
            AppendWithoutAutoIncrement(std::string_view(line.pData, line.nSize), scratch);
            definitions.Write(scratch);
            if (line.bHasLineEnd) definitions.Write(kLineEnd);
        } else if (StartsWith(line, "IN")) {
            WriteRewrite(line, CQuoteEscape{'\'', "\\''"}, rows);
        } else if (StartsWith(line, ") ")) {
            definitions.Write(");\r\n");
        }
    }
    return Finish(lines, source, &rows, &definitions) && !report.Stopped();
}

bool DoubleEscapedQuotes(const std::string& sourcePath, const std::string& destinationPath,
                         const ConversionProgress& progress) {
    return RewriteLines(sourcePath, destinationPath, progress,
                        [](const CLineReader::Line& line, platform::CFileWriter& out) {
                            WriteRewrite(line, CQuoteEscape{'"', "\"\""}, out);
                        });
}

bool StripEscapedQuotes(const std::string& sourcePath, const std::string& destinationPath,
                        const ConversionProgress& progress) {
    return RewriteLines(sourcePath, destinationPath, progress,
                        [](const CLineReader::Line& line, platform::CFileWriter& out) {
                            WriteRewrite(line, CStripPair{}, out);
                        });
}

}  // namespace workspace
