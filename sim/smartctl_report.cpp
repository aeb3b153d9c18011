#include "smartctl_report.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>

#include "sim_error.h"

namespace dumplog::sim {

namespace {

constexpr std::string_view kMegaraidPrefix = "megaraid,";

std::string with_thousands(std::uint64_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

// "1.92 TB", "12.0 TB": three significant digits in decimal units.
std::string rounded_capacity(std::uint64_t bytes) {
    static constexpr const char* kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1000 && unit + 1 < std::size(kUnits)) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    int decimals = value < 10 ? 2 : (value < 100 ? 1 : 0);
    std::snprintf(text, sizeof text, "%.*f %s", decimals, value, kUnits[unit]);
    return text;
}

std::string attribute_row(unsigned id, std::string_view name, std::string_view flag, unsigned value, unsigned worst,
                          unsigned thresh, std::string_view type, std::uint64_t raw) {
    char line[128];
    std::snprintf(line, sizeof line, "%3u %-23.*s %.*s   %03u   %03u   %03u    %-9.*s Always       -       %llu\n", id,
                  static_cast<int>(name.size()), name.data(), static_cast<int>(flag.size()), flag.data(), value, worst,
                  thresh, static_cast<int>(type.size()), type.data(), static_cast<unsigned long long>(raw));
    return line;
}

[[noreturn]] void usage_error(std::string_view program) {
    // A command line that does not parse is status 1 for this program.
    throw SimError(kExitFailed, "bad command line (usage: " + std::string(program) + " -a [-d megaraid,PORT] DEVICE)");
}

}  // namespace

std::string smart_report(const SimDrive& drive, const Faults& faults) {
    std::string out(kSmartBanner);
    out += "No hardware is accessed; all values come from a built-in table.\n\n";
    out += "=== START OF INFORMATION SECTION ===\n";
    out += "Device Model:     " + std::string(drive.model) + "\n";

    std::optional<std::string> serial;
    if (faults.smart_serial) {
        serial = *faults.smart_serial;
    } else if (drive.smart_serial) {
        serial = std::string(*drive.smart_serial);
    }
    if (serial) {
        out += (faults.smart_sas_style ? "Serial number:    " : "Serial Number:    ") + *serial + "\n";
    }

    std::uint64_t bytes = drive.sectors * drive.logical_sector_size;
    out += "Firmware Version: " + std::string(drive.firmware) + "\n";
    out += "User Capacity:    " + with_thousands(bytes) + " bytes [" + rounded_capacity(bytes) + "]\n";
    if (drive.logical_sector_size == drive.physical_sector_size) {
        out += "Sector Size:      " + std::to_string(drive.logical_sector_size) + " bytes logical/physical\n";
    } else {
        out += "Sector Sizes:     " + std::to_string(drive.logical_sector_size) + " bytes logical, " +
               std::to_string(drive.physical_sector_size) + " bytes physical\n";
    }
    out += drive.rpm == 0 ? std::string("Rotation Rate:    Solid State Device\n")
                          : "Rotation Rate:    " + std::to_string(drive.rpm) + " rpm\n";
    out += "ATA Version is:   ACS-4 (minor revision not indicated)\n";
    out += "SATA Version is:  SATA 3.3, 6.0 Gb/s (current: 6.0 Gb/s)\n";
    out += "SMART support is: Available - device has SMART capability.\n";
    out += "SMART support is: Enabled\n\n";

    out += "=== START OF READ SMART DATA SECTION ===\n";
    out += "SMART overall-health self-assessment test result: PASSED\n\n";
    out += "SMART Attributes Data Structure revision number: 1\n";
    out += "Vendor Specific SMART Attributes with Thresholds:\n";
    out +=
        "ID# ATTRIBUTE_NAME          FLAG     VALUE WORST THRESH TYPE      UPDATED  "
        "WHEN_FAILED RAW_VALUE\n";
    out += attribute_row(5, "Reallocated_Sector_Ct", "0x0033", 100, 100, 10, "Pre-fail", 0);
    out += attribute_row(9, "Power_On_Hours", "0x0032", 99 - drive.power_on_hours / 5000,
                         99 - drive.power_on_hours / 5000, 0, "Old_age", drive.power_on_hours);
    out += attribute_row(12, "Power_Cycle_Count", "0x0032", 99, 99, 0, "Old_age", drive.power_cycles);
    out += attribute_row(194, "Temperature_Celsius", "0x0022", 100 - drive.temperature_c,
                         100 - drive.temperature_c - 12, 0, "Old_age", drive.temperature_c);
    out += attribute_row(199, "UDMA_CRC_Error_Count", "0x003e", 200, 200, 0, "Old_age", 0);
    out += "\nSMART Error Log Version: 1\nNo Errors Logged\n";
    return out;
}

int run_smartctl(std::string_view program, std::span<const std::string> args, const Faults& faults) {
    std::string device;
    std::optional<unsigned> port;
    if (args.size() == 2 && args[0] == "-a") {
        device = args[1];
    } else if (args.size() == 4 && args[0] == "-a" && args[1] == "-d" &&
               std::string_view(args[2]).starts_with(kMegaraidPrefix)) {
        std::string_view digits = std::string_view(args[2]).substr(kMegaraidPrefix.size());
        unsigned value = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || (digits.size() > 1 && digits.front() == '0') || ec != std::errc() ||
            end != digits.data() + digits.size()) {
            usage_error(program);
        }
        port = value;
        device = args[3];
    } else {
        usage_error(program);
    }
    if (device.empty() || device.front() == '-') {
        usage_error(program);
    }

    const SimDrive* drive = find_drive(device, port);
    if (drive == nullptr) {
        std::cout << kSmartBanner << std::flush;
        std::string where = port ? " [megaraid_disk_" + std::to_string(*port) + "]" : "";
        throw SimError(kExitUsage, device + where + ": open failed: no such device");
    }
    if (faults.command_fails("smart")) {
        throw SimError(kExitFailed, device + ": SMART read failed (simulated)");
    }
    std::cout << smart_report(*drive, faults);
    return 0;
}

}  // namespace dumplog::sim
