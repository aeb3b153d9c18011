#include "query/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "run/run_error.h"

namespace dumplog {

std::string strip_ws(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_ws(text[begin])) ++begin;
    while (end > begin && is_ws(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string halve_blank_pairs(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t k = 0; k < text.size(); ++k) {
        out += text[k];
        if (text[k] == ' ' && k + 1 < text.size() && text[k + 1] == ' ') ++k;
    }
    return out;
}

std::string replace_char(std::string text, char from, char to) {
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

std::string remove_char(std::string text, char gone) {
    text.erase(std::remove(text.begin(), text.end(), gone), text.end());
    return text;
}

std::vector<std::string> split_at(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        fields.push_back(text.substr(start, at - start));
    fields.push_back(text.substr(start));
    return fields;
}

std::vector<std::string> dump_row_fields(const std::string& line) {
    return split_at(remove_char(replace_char(halve_blank_pairs(strip_ws(line)), '-', ' '), '.'), ' ');
}

std::string upper_ascii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string quoted_literal(const std::string& text) {
    const bool has_single = text.find('\'') != std::string::npos;
    const bool has_double = text.find('"') != std::string::npos;
    const char quote = has_single && !has_double ? '"' : '\'';

    static const char hex[] = "0123456789abcdef";
    std::string out(1, quote);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == quote) {
            out += '\\';
            out += c;
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 32 || byte > 126) {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += quote;
    return out;
}

std::vector<std::string> split_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end + 1 - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> read_report_lines(const std::string& path) {
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) throw RunError(system_reason("cannot open " + path, errno));

    std::string bytes;
    char chunk[8192];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, f.get())) > 0;) bytes.append(chunk, got);
    if (std::ferror(f.get())) throw RunError(system_reason("cannot read " + path, stream_errno(errno)));
    return split_lines(bytes);
}

}  // namespace dumplog
