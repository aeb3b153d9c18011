// Data the vendor tool returns for the identification and E2 commands.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "drive_table.h"

namespace dumplog::sim {

constexpr std::size_t kModelPageSize = 512;
constexpr std::size_t kE2PageSize = 8192;
constexpr std::size_t kE2SerialOffset = 0x4C0;

// 512 bytes; row 0000 carries the identification built from model_text.
std::string model_page(std::string_view model_text);

// 8192 bytes of E2 page.  Row 04C0 holds serial padded with 00 when row is
// E2Row::Serial and zeros otherwise; serial must be at most 16 bytes.
std::string e2_page(E2Row row, std::string_view serial);

}  // namespace dumplog::sim
