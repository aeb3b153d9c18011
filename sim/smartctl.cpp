// The smartctl persona: a short SMART report for one drive. The tool reads
// only its serial line; complete reports from real drives for the parser
// tests are in ../shared/data/smartctl/.
#include <iostream>

#include "sim.h"

namespace dumplog::sim {
namespace {

constexpr std::string_view kBanner = "smartctl (simulated drive) - SMART report\n";

[[noreturn]] void usage_error(std::string_view program) {
    // A command line that does not parse is status 1 for this program.
    throw SimError(kExitFailed, "bad command line (usage: " + std::string(program) + " -a [-d megaraid,PORT] DEVICE)");
}

std::string smart_report(const Drive& drive, const Faults& faults) {
    std::string out(kBanner);
    out += "\n=== START OF INFORMATION SECTION ===\n";
    out += "Device Model:     " + std::string(drive.model) + "\n";
    std::optional<std::string> serial = faults.smart_serial;
    if (!serial && drive.smart_serial) serial = std::string(*drive.smart_serial);
    if (serial) out += (faults.smart_sas_style ? "Serial number:    " : "Serial Number:    ") + *serial + "\n";
    return out;
}

}  // namespace

int run_smartctl(std::string_view program, std::span<const std::string> args, const Faults& faults) {
    std::string device;
    std::optional<unsigned> port;
    if (args.size() == 2 && args[0] == "-a") {
        device = args[1];
    } else if (args.size() == 4 && args[0] == "-a" && args[1] == "-d" && args[2].starts_with("megaraid,")) {
        port = parse_decimal(std::string_view(args[2]).substr(9));
        if (!port) usage_error(program);
        device = args[3];
    } else {
        usage_error(program);
    }
    if (device.empty() || device.front() == '-') usage_error(program);

    const Drive* drive = find_drive(device, port);
    if (drive == nullptr) {
        std::cout << kBanner << std::flush;
        const std::string where = port ? " [megaraid_disk_" + std::to_string(*port) + "]" : "";
        throw SimError(kExitUsage, device + where + ": open failed: no such device");
    }
    if (faults.command_fails("smart")) throw SimError(kExitFailed, device + ": SMART read failed (simulated)");
    std::cout << smart_report(*drive, faults);
    return 0;
}

}  // namespace dumplog::sim
