#pragma once
// Byte-string helpers of the report parsers and the error reports, and the
// reading of report files. White space is exactly blank, tab, line feed,
// vertical tab, form feed and carriage return. No character decoding.
#include <string>
#include <vector>

namespace dumplog {

inline bool is_ws(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
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

/// One text as a quoted literal: single quotes, or double quotes when it holds
/// a single quote and no double quote; backslash and the quote escaped; \t \n
/// \r; any other byte below 32 or above 126 as \xhh.
std::string quoted_literal(const std::string& text);

/// Splits bytes into lines, each with its line feed (the last may lack one).
/// Only a line feed ends a line.
std::vector<std::string> split_lines(const std::string& bytes);
/// The lines of a report file, as split_lines gives them. Throws RunError
/// naming the file and the system's reason when it cannot be opened or read.
std::vector<std::string> read_report_lines(const std::string& path);

}  // namespace dumplog
