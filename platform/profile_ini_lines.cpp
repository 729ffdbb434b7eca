#include "platform/profile_ini_lines.h"

#include <cctype>
#include <cstddef>

namespace platform::profile {
namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// "[name]" (blanks allowed around) gives name; anything else gives nothing.
bool SectionName(const std::string& line, std::string* name) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const size_t close = t.find(']');
    if (close == std::string::npos) return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// "key=value" gives both, trimmed; comment lines (";") and lines without "=" give nothing.
bool KeyValue(const std::string& line, std::string* key, std::string* value) {
    const std::string t = Trim(line);
    if (t.empty() || t.front() == ';') return false;
    const size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    *key = Trim(t.substr(0, eq));
    *value = Trim(t.substr(eq + 1));
    return true;
}

}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

int IntValue(const std::vector<std::string>& lines, const std::string& section,
             const std::string& key, int nDefault) {
    bool inSection = false;
    for (const std::string& line : lines) {
        std::string name, k, v;
        if (SectionName(line, &name)) {
            inSection = SameName(name, section);
        } else if (inSection && KeyValue(line, &k, &v) && SameName(k, key)) {
            size_t i = 0;
            bool negative = false;
            if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
            long long n = 0;
            for (; i < v.size() && std::isdigit(static_cast<unsigned char>(v[i])); ++i) {
                n = n * 10 + (v[i] - '0');
                if (n > 2147483648LL) n = 2147483648LL;  // saturate instead of overflowing
            }
            if (negative) n = -n;
            if (n > 2147483647LL) n = 2147483647LL;
            return static_cast<int>(n);
        }
    }
    return nDefault;
}

std::string WithValue(std::vector<std::string> lines, const std::string& section,
                      const std::string& key, const std::string& value) {
    const std::string entry = key + "=" + value;
    bool inSection = false, done = false;
    size_t sectionEnd = std::string::npos;  // index after the last line of the section
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string name, k, v;
        if (SectionName(lines[i], &name)) {
            if (inSection) break;
            inSection = SameName(name, section);
            if (inSection) sectionEnd = i + 1;
        } else if (inSection) {
            if (KeyValue(lines[i], &k, &v) && SameName(k, key)) {
                lines[i] = entry;
                done = true;
            } else if (!Trim(lines[i]).empty()) {
                sectionEnd = i + 1;
            }
        }
    }
    if (!done) {
        if (sectionEnd == std::string::npos) {
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        } else {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), entry);
        }
    }

    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

}  // namespace platform::profile
