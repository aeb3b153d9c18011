#include "faults.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "sim_error.h"

namespace dumplog::sim {

namespace {

constexpr unsigned kLastPage = 0x7F;

std::optional<std::string> env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

// Variables that select a mode or list treat an empty value as unset.
std::optional<std::string> env_nonempty(const char* name) {
    auto value = env(name);
    if (value && value->empty()) {
        return std::nullopt;
    }
    return value;
}

[[noreturn]] void malformed(const char* name, std::string_view value, std::string_view why) {
    throw SimError(kExitUsage, std::string("bad ") + name + "=" + std::string(value) + ": " + std::string(why));
}

unsigned parse_page(const char* name, std::string_view full, std::string_view text) {
    unsigned page = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), page);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        malformed(name, full, "expected a decimal page number");
    }
    if (page > kLastPage) {
        malformed(name, full, "page numbers run from 0 to 127");
    }
    return page;
}

std::set<unsigned> parse_page_list(const char* name) {
    std::set<unsigned> pages;
    auto value = env_nonempty(name);
    if (!value) {
        return pages;
    }
    std::string_view rest = *value;
    while (true) {
        auto comma = rest.find(',');
        pages.insert(parse_page(name, *value, rest.substr(0, comma)));
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
    }
    return pages;
}

// "N:REST" -> page N and REST (REST must not be empty).
std::pair<unsigned, std::string> split_page_prefix(const char* name, const std::string& value) {
    auto colon = value.find(':');
    if (colon == std::string::npos || colon + 1 == value.size()) {
        malformed(name, value, "expected PAGE:VALUE");
    }
    return {parse_page(name, value, std::string_view(value).substr(0, colon)), value.substr(colon + 1)};
}

std::optional<SlowPage> parse_slow_page() {
    auto value = env_nonempty("SIM_SLOW_PAGE");
    if (!value) {
        return std::nullopt;
    }
    auto [page, text] = split_page_prefix("SIM_SLOW_PAGE", *value);
    double seconds = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds) || seconds < 0) {
        malformed("SIM_SLOW_PAGE", *value, "expected a non-negative number of seconds");
    }
    return SlowPage{page, seconds};
}

std::optional<DropFile> parse_drop_file() {
    auto value = env_nonempty("SIM_DROP_FILE");
    if (!value) {
        return std::nullopt;
    }
    auto [page, name] = split_page_prefix("SIM_DROP_FILE", *value);
    if (name == "." || name == ".." || name.find('/') != std::string::npos) {
        malformed("SIM_DROP_FILE", *value, "expected a plain file name");
    }
    return DropFile{page, name};
}

std::set<std::string, std::less<>> parse_failing_commands() {
    std::set<std::string, std::less<>> commands;
    auto value = env_nonempty("SIM_FAIL");
    if (!value) {
        return commands;
    }
    std::string_view rest = *value;
    while (true) {
        auto comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        if (item != "list" && item != "model" && item != "e2" && item != "smart" && item != "pages") {
            malformed("SIM_FAIL", *value, "known commands are list, model, e2, smart, pages");
        }
        commands.emplace(item);
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
    }
    return commands;
}

}  // namespace

bool Faults::command_fails(std::string_view command) const {
    return failing_commands.find(command) != failing_commands.end();
}

Faults read_faults() {
    Faults faults;
    faults.model = env("SIM_MODEL");

    if (auto row = env_nonempty("SIM_E2_ROW")) {
        if (*row == "missing") {
            faults.e2_row = E2Row::Missing;
        } else if (*row == "blank") {
            faults.e2_row = E2Row::Blank;
        } else {
            malformed("SIM_E2_ROW", *row, "expected missing or blank");
        }
    }

    faults.e2_row_text = env("SIM_E2_ROW_TEXT");
    faults.smart_serial = env("SIM_SMART_SERIAL");

    if (auto style = env_nonempty("SIM_SMART_STYLE")) {
        if (*style == "sas") {
            faults.smart_sas_style = true;
        } else if (*style != "ata") {
            malformed("SIM_SMART_STYLE", *style, "expected sas or ata");
        }
    }

    faults.failing_commands = parse_failing_commands();
    faults.failing_pages = parse_page_list("SIM_FAIL_PAGES");
    faults.short_pages = parse_page_list("SIM_SHORT_PAGES");
    faults.slow_page = parse_slow_page();
    faults.drop_file = parse_drop_file();

    if (auto no_scratch = env_nonempty("SIM_NO_SCRATCH")) {
        if (*no_scratch == "1") {
            faults.scratch_files = false;
        } else if (*no_scratch != "0") {
            malformed("SIM_NO_SCRATCH", *no_scratch, "expected 1 or 0");
        }
    }
    return faults;
}

}  // namespace dumplog::sim
