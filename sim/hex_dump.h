// Text dump of returned data, as the vendor tool prints it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dumplog::sim {

constexpr std::size_t kDumpRowSize = 16;

// The column header printed above the rows.
std::string dump_header();

// One row: "04C0  73 33 ... 39-78 32 ... 00  s3k7n019x200....\n".
// row holds kDumpRowSize bytes.
std::string dump_row(std::size_t offset, std::string_view row);

}  // namespace dumplog::sim
