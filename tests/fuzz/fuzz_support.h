#pragma once
// What the fuzz targets share. Each defines check_report() over the bytes of one report; a property that does
// not hold aborts with its name and value, so libFuzzer keeps the input and the replay test fails.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "query/text.h"
#include "savelog/output_folder.h"

namespace dumplog::fuzz {

void check_report(const std::string& report);

inline void check(bool holds, const char* property, const std::string& value) {
    if (holds) return;
    std::fprintf(stderr, "property failed: %s: %s\n", property, quoted_literal(value).c_str());
    std::abort();
}

// White space as the parsers define it, and the bytes a folder name may hold.
inline bool is_white(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool is_name_byte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::string_view("._+-").find(c) != std::string_view::npos;
}
inline bool holds_any(const std::string& text, const char* bytes) {
    return text.find_first_of(bytes) != std::string::npos;
}

// Every serial a report parser gives: "SN" in front, no blank. Other white space may survive inside a field;
// such a serial, like any with a byte a folder name may not hold, must be refused before it names the folder.
inline void check_serial(const std::string& serial) {
    check(serial.starts_with("SN"), "serial starts with SN", serial);
    check(!holds_any(serial, " "), "serial holds no blank", serial);
    check(is_safe_serial(serial) == std::all_of(serial.begin(), serial.end(), is_name_byte),
          "is_safe_serial refuses exactly the serials with white space or a byte unfit for a name", serial);
}

}  // namespace dumplog::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dumplog::fuzz::check_report(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
