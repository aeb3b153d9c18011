#pragma once
// Byte-string helpers shared by the report parsers. White space is exactly
// blank, tab, line feed, vertical tab, form feed and carriage return.
#include <string>
#include <vector>

namespace dumplog {

bool is_ws(char c);
std::string strip_ws(const std::string& text);
/// Replaces each "  " by " " in one pass from the left (k blanks -> ceil(k/2)).
std::string halve_blank_pairs(const std::string& text);
std::string replace_char(std::string text, char from, char to);
std::string remove_char(std::string text, char gone);
/// Splits at every separator; empty fields are kept, so the result is never empty.
std::vector<std::string> split_at(const std::string& text, char separator);
/// Fields of a dump row of the vendor tool: trimmed, blank pairs halved,
/// dashes made blanks, dots removed, split at single blanks.
std::vector<std::string> dump_row_fields(const std::string& line);
/// ASCII a-z to A-Z; every other byte unchanged.
std::string upper_ascii(std::string text);

}  // namespace dumplog
