// Faults and odd answers requested through SIM_* environment variables.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "drive_table.h"

namespace dumplog::sim {

struct SlowPage {
    unsigned page;
    double seconds;
};

struct DropFile {
    unsigned page;
    std::string name;  // a plain file name, no folder part
};

struct Faults {
    std::optional<std::string> model;                     // SIM_MODEL
    std::optional<E2Row> e2_row;                          // SIM_E2_ROW
    std::optional<std::string> e2_row_text;               // SIM_E2_ROW_TEXT
    std::optional<std::string> smart_serial;              // SIM_SMART_SERIAL
    bool smart_sas_style = false;                         // SIM_SMART_STYLE=sas
    std::set<std::string, std::less<>> failing_commands;  // SIM_FAIL
    std::set<unsigned> failing_pages;                     // SIM_FAIL_PAGES
    std::set<unsigned> short_pages;                       // SIM_SHORT_PAGES
    std::optional<SlowPage> slow_page;                    // SIM_SLOW_PAGE
    std::optional<DropFile> drop_file;                    // SIM_DROP_FILE
    bool scratch_files = true;                            // cleared by SIM_NO_SCRATCH=1

    // command is one of "list", "model", "e2", "smart", "pages".
    bool command_fails(std::string_view command) const;
};

// Reads every SIM_* variable; a malformed value throws SimError(kExitUsage).
Faults read_faults();

}  // namespace dumplog::sim
