#pragma once
#include <string>
#include <vector>

namespace dumplog {

/// One text as a quoted literal: single quotes, or double quotes when it holds
/// a single quote and no double quote; backslash and the quote escaped; \t \n
/// \r; any other byte below 32 or above 126 as \xhh.
std::string quoted_literal(const std::string& text);

/// The list as ['a', 'b'], or [] when empty.
std::string list_literal(const std::vector<std::string>& items);

}  // namespace dumplog
