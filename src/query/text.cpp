#include "query/text.h"

#include <algorithm>

namespace dumplog {

bool is_ws(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

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
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string::npos) break;
        fields.push_back(text.substr(start, at - start));
        start = at + 1;
    }
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

}  // namespace dumplog
