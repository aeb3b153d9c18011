#include "vendor_pages.h"

#include <cassert>
#include <cstdint>

#include "hex_dump.h"

namespace dumplog::sim {

namespace {

void put_le(std::string& page, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        page[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// Deterministic per-drive filler for counter areas.
class Filler {
public:
    explicit Filler(std::string_view seed_text) {
        for (unsigned char c : seed_text) {
            state_ ^= c;
            state_ *= 0x100000001b3ULL;
        }
        if (state_ == 0) {
            state_ = 1;
        }
    }

    std::uint64_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }

private:
    std::uint64_t state_ = 0xcbf29ce484222325ULL;
};

}  // namespace

std::string model_page(const SimDrive& drive, std::string_view model_text) {
    std::string page(kModelPageSize, '\0');

    // Row 0000: first four model characters, a blank, the rest, a blank and
    // the fixed 00 00 00 20 00 00 trailer, cut or padded to one row.
    std::string id(model_text.substr(0, 4));
    id += ' ';
    if (model_text.size() > 4) {
        id += model_text.substr(4);
    }
    id += ' ';
    id += std::string_view("\0\0\0\x20\0\0", 6);
    id.resize(kDumpRowSize, '\0');
    id.copy(page.data(), kDumpRowSize);

    // Row 0010: firmware revision.  Row 0020: capacity and sector sizes.
    drive.firmware.substr(0, kDumpRowSize).copy(page.data() + 0x10, kDumpRowSize);
    put_le(page, 0x20, drive.sectors, 8);
    put_le(page, 0x28, drive.logical_sector_size, 4);
    put_le(page, 0x2C, drive.physical_sector_size, 4);
    put_le(page, 0x30, drive.rpm, 2);

    // Last byte makes the page sum to zero.
    unsigned sum = 0;
    for (char c : page) {
        sum += static_cast<unsigned char>(c);
    }
    page[kModelPageSize - 1] = static_cast<char>((0x100 - (sum & 0xFF)) & 0xFF);
    return page;
}

std::string e2_page(const SimDrive& drive, E2Row row, std::string_view serial) {
    assert(serial.size() <= kDumpRowSize);
    std::string page(kE2PageSize, '\0');

    // Header: page code, format version, page length.
    page[0] = static_cast<char>(0xE2);
    page[1] = 0x01;
    put_le(page, 2, kE2PageSize, 2);

    // Counter areas.  Filler bytes never fall in 0x20..0x7E, so apart from
    // row 04C0 the text column shows only dots: nothing elsewhere can be
    // mistaken for serial text.
    Filler filler(drive.page_serial);
    auto fill = [&](std::size_t from, std::size_t to, unsigned every) {
        for (std::size_t at = from; at < to; at += 4) {
            std::uint64_t r = filler.next();
            if (r % every != 0) {
                continue;  // leave most counters at zero
            }
            for (int i = 0; i < 3; ++i) {  // 24-bit counter, top byte zero
                auto byte = static_cast<unsigned char>(r >> (8 * (i + 1)));
                if (byte >= 0x20 && byte <= 0x7E) {
                    byte ^= 0x80;
                }
                page[at + i] = static_cast<char>(byte);
            }
        }
    };
    fill(0x010, 0x400, 2);
    fill(0x800, 0x1000, 3);
    fill(0x1400, 0x1FF0, 7);

    if (row == E2Row::Serial) {
        serial.copy(page.data() + kE2SerialOffset, kDumpRowSize);
    }
    return page;
}

}  // namespace dumplog::sim
