#include "run/list_literal.h"

namespace dumplog {

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

std::string list_literal(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (k > 0) out += ", ";
        out += quoted_literal(items[k]);
    }
    return out + "]";
}

}  // namespace dumplog
