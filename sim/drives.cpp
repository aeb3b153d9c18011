// The drives the simulator answers for, and how a command line names them.
#include <array>
#include <charconv>

#include "sim.h"

namespace dumplog::sim {
namespace {

// clang-format off
constexpr std::array<Drive, 6> kDrives{{
    // device     port          model       row 04C0        E2 serial       SMART serial    page serial
    {"/dev/sdc", std::nullopt, "QLX22582", E2Row::Serial,  "zx41b0c7k2",   "ZX41B0C7K2",   "zx41b0c7k2"},
    {"/dev/sda", 8,            "QLX22581", E2Row::Serial,  "s3k7n019x200", "S3K7N019X200", "s3k7n019x200"},
    {"/dev/sdb", std::nullopt, "HDX71200", E2Row::Serial,  "wd7h2k01pq",   "WD7H2K01PQ",   "wd7h2k01pq"},
    {"/dev/sdd", std::nullopt, "QLX22581", E2Row::Blank,   "",             "Z4K1 A0B9C7",  "Z4K1A0B9C7"},
    {"/dev/sde", std::nullopt, "QLX22582", E2Row::Missing, "",             std::nullopt,   "NOSERIAL-SDE"},
    {"/dev/sdf", std::nullopt, "HDX71200", E2Row::Missing, "",             std::nullopt,   "NOSERIAL-SDF"},
}};
// clang-format on

}  // namespace

std::span<const Drive> drives() { return kDrives; }

const Drive* find_drive(std::string_view device, std::optional<unsigned> port) {
    for (const Drive& drive : kDrives)
        if (drive.device == device && drive.megaraid_port == port) return &drive;
    return nullptr;
}

std::optional<unsigned> parse_decimal(std::string_view text) {
    if (text.empty() || text.front() < '0' || text.front() > '9' || (text.size() > 1 && text.front() == '0'))
        return std::nullopt;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace dumplog::sim
