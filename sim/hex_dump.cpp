#include "hex_dump.h"

#include <cassert>

namespace dumplog::sim {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void append_hex_byte(std::string& out, unsigned char byte) {
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
}

}  // namespace

std::string dump_header() {
    std::string out = "Addr";
    for (std::size_t i = 0; i < kDumpRowSize; ++i) {
        out += i == 0 ? "  " : (i == kDumpRowSize / 2 ? "-" : " ");
        append_hex_byte(out, static_cast<unsigned char>(i));
    }
    out += "  ASCII\n";
    return out;
}

std::string dump_row(std::size_t offset, std::string_view row) {
    assert(row.size() == kDumpRowSize);
    std::string out;
    for (int shift = 12; shift >= 0; shift -= 4) {
        out += kHex[(offset >> shift) & 0xF];
    }
    for (std::size_t i = 0; i < kDumpRowSize; ++i) {
        out += i == 0 ? "  " : (i == kDumpRowSize / 2 ? "-" : " ");
        append_hex_byte(out, static_cast<unsigned char>(row[i]));
    }
    out += "  ";
    for (char c : row) {
        auto byte = static_cast<unsigned char>(c);
        out += byte >= 0x20 && byte <= 0x7E ? c : '.';
    }
    out += '\n';
    return out;
}

}  // namespace dumplog::sim
