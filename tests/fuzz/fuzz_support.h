#pragma once
// What the fuzz targets share. A property that does not hold ends the process
// with the property and the offending value on stderr: libFuzzer then keeps the
// input as a crash, and the replay test of the ordinary build fails.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "savelog/output_folder.h"

namespace dumplog::fuzz {

inline std::string bytes_of(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Printable bytes as they are, every other byte as \xhh: an own rendering, so
// a fault in the printer under test cannot hide what failed.
inline std::string shown(const std::string& text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte <= 126 && c != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        }
    }
    return out;
}

[[noreturn]] inline void fail(const char* property, const std::string& value, const std::string& input) {
    std::fprintf(stderr, "property failed: %s\n  value: \"%s\"\n  from:  \"%s\"\n", property, shown(value).c_str(),
                 shown(input).c_str());
    std::abort();
}

inline void check(bool holds, const char* property, const std::string& value, const std::string& input) {
    if (!holds) fail(property, value, input);
}

// White space as the parsers define it: blank, tab, LF, VT, FF, CR.
inline bool is_white(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The bytes a folder name may hold.
inline bool is_name_byte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '+' || c == '-';
}

inline bool contains(const std::string& text, char c) { return text.find(c) != std::string::npos; }

// Every serial a report parser gives: "SN" in front, no blank. Other white
// space may survive inside a field; such a serial, like any with a byte a
// folder name may not hold, must be refused before it names the output folder.
inline void check_serial(const std::string& serial, const std::string& input) {
    check(serial.starts_with("SN"), "serial starts with SN", serial, input);
    check(!contains(serial, ' '), "serial holds no blank", serial, input);
    bool unfit = false;
    for (const char c : serial) unfit = unfit || is_white(c) || !is_name_byte(c);
    if (unfit)
        check(!is_safe_serial(serial), "a serial with white space or a byte unfit for a name is refused", serial,
              input);
}

}  // namespace dumplog::fuzz
