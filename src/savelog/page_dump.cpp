#include "savelog/page_dump.h"

#include <sys/stat.h>

#include "query/command_lines.h"
#include "query/shell.h"
#include "run/console.h"
#include "run/host.h"
#include "run/run_state.h"
#include "savelog/file_ops.h"

namespace dumplog {

void dump_pages(RunState& state, Host& host) {
    if (!is_family_drive(state.ModelName)) {
        host.console.MsgOut("Model name is not KR4/KRW,can not down savelog!!");
        // A drive that did not answer looks like one of another family.
        if (state.ModelName.empty() || state.ModelName == "NULL") host.console.warn(kNoModelWarning);
        return;
    }
    const std::string& DriveSN = defined_DriveSN(state);

    host.console.MsgOut("===Dump Save Log Start===");
    for (int i = 0; i < kSavelogPages; ++i) {
        const std::string fileName = page_file_name(DriveSN, i, state.devInfo);
        delete_if_present(fileName);
        const std::string Sstr = page_command(state.pgm, state.devInfo, i, fileName);
        host.console.MsgOut(Sstr);
        host.shell.run(Sstr, vendor_writes("log.txt"));
        host.pause(kPageCommandPause);
    }

    const std::string warning = incomplete_pages_warning(incomplete_pages(DriveSN, state.devInfo));
    if (!warning.empty()) host.console.warn(warning);
}

std::vector<std::string> incomplete_pages(const std::string& DriveSN, const std::vector<std::string>& devInfo) {
    std::vector<std::string> pages;
    for (int i = 0; i < kSavelogPages; ++i) {
        struct stat st;
        const std::string fileName = page_file_name(DriveSN, i, devInfo);
        if (stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == kSavelogPageBytes) continue;
        pages.push_back(page_number(i));
    }
    return pages;
}

std::string incomplete_pages_warning(const std::vector<std::string>& pages) {
    if (pages.empty()) return {};
    std::string text = "warning: " + std::to_string(pages.size()) + " of " + std::to_string(kSavelogPages) +
                       " save-log pages are missing or not " + std::to_string(kSavelogPageBytes) + " bytes long:";
    for (const auto& page : pages) text += " " + page;
    return text;
}

}  // namespace dumplog
