#pragma once
#include <string>
#include <vector>

namespace dumplog {

struct RunState;
struct Host;

/// The four lines that explain what to type; the error branch repeats them.
extern const char* const kSelectionHelp[4];

/// Trims white space at both ends, splits at single blanks and drops the
/// empty fields; a tab inside stays part of its field.
std::vector<std::string> split_typed_line(const std::string& Sstr);

/// The list as ['a', 'b'] (each entry a quoted literal), or [] when empty.
std::string list_literal(const std::vector<std::string>& items);

/// Fills devInfo from the first two arguments (when there are two or more),
/// otherwise from one typed line after the vendor tool's drive listing.
void select_drive(RunState& state, Host& host, const std::vector<std::string>& args);

}  // namespace dumplog
