#pragma once
// Reads a printed list back: "[" entries "]", entries separated by ", ", each
// in single quotes, or in double quotes when it holds a single quote and no
// double quote; inside, "\\" and the quote in use are escaped, tab, LF and CR
// are \t \n \r, every other byte below 32 or above 126 is \xhh (lower-case
// hex) and every other byte stands for itself. Anything else, including a
// longer form than needed, is not such a list.
#include <optional>
#include <string>
#include <vector>

namespace dumplog::fuzz {

inline std::optional<std::vector<std::string>> decode_list_literal(const std::string& text) {
    std::size_t at = 0;
    const auto next = [&]() -> int { return at < text.size() ? static_cast<unsigned char>(text[at++]) : -1; };
    const auto hex_digit = [](int c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };

    std::vector<std::string> items;
    if (next() != '[') return std::nullopt;
    if (text.substr(at) == "]") return items;
    for (;;) {
        const int quote = next();
        if (quote != '\'' && quote != '"') return std::nullopt;
        std::string item;
        for (int c = next(); c != quote; c = next()) {
            if (c < 0) return std::nullopt;
            if (c != '\\') {
                if (c < 32 || c > 126) return std::nullopt;
                item += static_cast<char>(c);
                continue;
            }
            const int escaped = next();
            if (escaped == '\\' || escaped == quote) {
                item += static_cast<char>(escaped);
            } else if (escaped == 't') {
                item += '\t';
            } else if (escaped == 'n') {
                item += '\n';
            } else if (escaped == 'r') {
                item += '\r';
            } else if (escaped == 'x') {
                const int high = hex_digit(next());
                const int low = hex_digit(next());
                if (high < 0 || low < 0) return std::nullopt;
                const int byte = high * 16 + low;
                if ((byte >= 32 && byte <= 126) || byte == '\t' || byte == '\n' || byte == '\r') return std::nullopt;
                item += static_cast<char>(byte);
            } else {
                return std::nullopt;
            }
        }
        const bool wants_double = item.find('\'') != std::string::npos && item.find('"') == std::string::npos;
        if ((quote == '"') != wants_double) return std::nullopt;
        items.push_back(item);

        const int after = next();
        if (after == ']') return at == text.size() ? std::optional(items) : std::nullopt;
        if (after != ',' || next() != ' ') return std::nullopt;
    }
}

}  // namespace dumplog::fuzz
