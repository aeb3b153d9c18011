#pragma once
// What the two personas of the simulated drive share: the drive table, the
// faults asked for through SIM_* variables and the one way a command fails.
#include <optional>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace dumplog::sim {

constexpr int kExitFailed = 1;  ///< the command was understood but failed
constexpr int kExitUsage = 2;   ///< a malformed command line or SIM_* value

/// Ends the invocation: the message goes to stderr, the status becomes the exit status.
class SimError : public std::runtime_error {
public:
    SimError(int exit_status, const std::string& message) : std::runtime_error(message), exit_status_(exit_status) {}
    int exit_status() const { return exit_status_; }

private:
    int exit_status_;
};

/// What row 04C0 of a drive's E2 page holds: the serial padded with 00, 16 bytes 00, or no line at all.
enum class E2Row { Serial, Blank, Missing };

struct Drive {
    std::string_view device;
    std::optional<unsigned> megaraid_port;  ///< set: reachable only as DEVICE,PORT
    std::string_view model;
    E2Row e2_row;
    std::string_view e2_serial;                    ///< row 04C0 when e2_row is Serial
    std::optional<std::string_view> smart_serial;  ///< unset: the SMART report has no serial line
    std::string_view page_serial;                  ///< seeds the save-log page bytes
};

/// The drives, in listing order.
std::span<const Drive> drives();
/// The drive addressed as DEVICE or DEVICE,PORT. A drive behind a MegaRAID port matches only with
/// exactly that port; any other drive only without one.
const Drive* find_drive(std::string_view device, std::optional<unsigned> port);
/// Plain decimal (digits only, no leading zeros); empty for anything else.
std::optional<unsigned> parse_decimal(std::string_view text);

struct SlowPage {
    unsigned page;
    double seconds;
};

struct DropFile {
    unsigned page;
    std::string name;  ///< a plain file name, no folder part
};

struct Faults {
    std::optional<std::string> model;                     ///< SIM_MODEL
    std::optional<E2Row> e2_row;                          ///< SIM_E2_ROW
    std::optional<std::string> e2_row_text;               ///< SIM_E2_ROW_TEXT
    std::optional<std::string> smart_serial;              ///< SIM_SMART_SERIAL
    bool smart_sas_style = false;                         ///< SIM_SMART_STYLE=sas
    std::set<std::string, std::less<>> failing_commands;  ///< SIM_FAIL
    std::set<unsigned> failing_pages;                     ///< SIM_FAIL_PAGES
    std::set<unsigned> short_pages;                       ///< SIM_SHORT_PAGES
    std::optional<SlowPage> slow_page;                    ///< SIM_SLOW_PAGE
    std::optional<DropFile> drop_file;                    ///< SIM_DROP_FILE
    bool scratch_files = true;                            ///< cleared by SIM_NO_SCRATCH=1

    /// command is one of "list", "model", "e2", "smart", "pages".
    bool command_fails(std::string_view command) const { return failing_commands.contains(command); }
};

/// Reads every SIM_* variable; a malformed value throws SimError(kExitUsage).
Faults read_faults();

/// The personas: each runs one invocation and returns its exit status, or throws SimError.
int run_vendor_tool(std::string_view program, std::span<const std::string> args, const Faults& faults);
int run_smartctl(std::string_view program, std::span<const std::string> args, const Faults& faults);

}  // namespace dumplog::sim
