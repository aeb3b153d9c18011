#include "drive_table.h"

#include <array>

namespace dumplog::sim {

namespace {

// clang-format off
const std::array<SimDrive, 6> kDrives{{
    {"/dev/sdc", std::nullopt, "QLX22582", E2Row::Serial, "zx41b0c7k2",
     "ZX41B0C7K2", "zx41b0c7k2"},
    {"/dev/sda", 8, "QLX22581", E2Row::Serial, "s3k7n019x200",
     "S3K7N019X200", "s3k7n019x200"},
    {"/dev/sdb", std::nullopt, "HDX71200", E2Row::Serial, "wd7h2k01pq",
     "WD7H2K01PQ", "wd7h2k01pq"},
    {"/dev/sdd", std::nullopt, "QLX22581", E2Row::Blank, "",
     "Z4K1 A0B9C7", "Z4K1A0B9C7"},
    {"/dev/sde", std::nullopt, "QLX22582", E2Row::Missing, "",
     std::nullopt, "NOSERIAL-SDE"},
    {"/dev/sdf", std::nullopt, "HDX71200", E2Row::Missing, "",
     std::nullopt, "NOSERIAL-SDF"},
}};
// clang-format on

}  // namespace

std::span<const SimDrive> sim_drives() { return kDrives; }

const SimDrive* find_drive(std::string_view device, std::optional<unsigned> port) {
    for (const SimDrive& drive : kDrives) {
        if (drive.device == device && drive.megaraid_port == port) {
            return &drive;
        }
    }
    return nullptr;
}

}  // namespace dumplog::sim
