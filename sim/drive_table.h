// The fixed set of drives the simulator answers for.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace dumplog::sim {

// What row 04C0 of a drive's E2 page looks like.
enum class E2Row {
    Serial,   // the E2 serial as ASCII, padded with 00
    Blank,    // present, all 16 bytes 00
    Missing,  // the dump has no 04C0 line at all
};

struct SimDrive {
    std::string_view device;
    std::optional<unsigned> megaraid_port;  // set: reachable only as DEVICE,PORT
    std::string_view model;
    E2Row e2_row;
    std::string_view e2_serial;                    // used when e2_row == Serial
    std::optional<std::string_view> smart_serial;  // unset: report has no serial line
    std::string_view page_serial;                  // seeds the save-log page bytes
};

std::span<const SimDrive> sim_drives();

// The drive addressed as DEVICE or DEVICE,PORT.  A drive behind a MegaRAID
// port matches only with exactly that port; any other drive only without one.
const SimDrive* find_drive(std::string_view device, std::optional<unsigned> port);

}  // namespace dumplog::sim
