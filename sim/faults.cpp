// SIM_* variables: faults and odd answers for the tests. An empty value means
// unset, except for the texts, where the empty text itself is used.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "sim.h"

namespace dumplog::sim {
namespace {

constexpr unsigned kLastPage = 127;

std::optional<std::string> env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::optional<std::string> env_nonempty(const char* name) {
    auto value = env(name);
    if (value && value->empty()) return std::nullopt;
    return value;
}

[[noreturn]] void malformed(const char* name, std::string_view value, std::string_view why) {
    throw SimError(kExitUsage, std::string("bad ") + name + "=" + std::string(value) + ": " + std::string(why));
}

std::vector<std::string_view> comma_items(std::string_view list) {
    std::vector<std::string_view> items;
    for (std::size_t comma; (comma = list.find(',')) != std::string_view::npos; list.remove_prefix(comma + 1))
        items.push_back(list.substr(0, comma));
    items.push_back(list);
    return items;
}

unsigned parse_page(const char* name, std::string_view value, std::string_view text) {
    unsigned page = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), page);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        malformed(name, value, "expected a decimal page number");
    if (page > kLastPage) malformed(name, value, "page numbers run from 0 to 127");
    return page;
}

std::set<unsigned> parse_page_list(const char* name) {
    std::set<unsigned> pages;
    if (const auto value = env_nonempty(name))
        for (std::string_view item : comma_items(*value)) pages.insert(parse_page(name, *value, item));
    return pages;
}

// "N:REST" -> page N and REST, which must not be empty.
std::pair<unsigned, std::string> split_page_prefix(const char* name, const std::string& value) {
    const auto colon = value.find(':');
    if (colon == std::string::npos || colon + 1 == value.size()) malformed(name, value, "expected PAGE:VALUE");
    return {parse_page(name, value, std::string_view(value).substr(0, colon)), value.substr(colon + 1)};
}

std::optional<SlowPage> parse_slow_page() {
    const auto value = env_nonempty("SIM_SLOW_PAGE");
    if (!value) return std::nullopt;
    const auto [page, text] = split_page_prefix("SIM_SLOW_PAGE", *value);
    double seconds = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds) || seconds < 0)
        malformed("SIM_SLOW_PAGE", *value, "expected a non-negative number of seconds");
    return SlowPage{page, seconds};
}

std::optional<DropFile> parse_drop_file() {
    const auto value = env_nonempty("SIM_DROP_FILE");
    if (!value) return std::nullopt;
    auto [page, name] = split_page_prefix("SIM_DROP_FILE", *value);
    if (name == "." || name == ".." || name.find('/') != std::string::npos)
        malformed("SIM_DROP_FILE", *value, "expected a plain file name");
    return DropFile{page, name};
}

std::set<std::string, std::less<>> parse_failing_commands() {
    std::set<std::string, std::less<>> commands;
    const auto value = env_nonempty("SIM_FAIL");
    if (!value) return commands;
    for (std::string_view item : comma_items(*value)) {
        if (item != "list" && item != "model" && item != "e2" && item != "smart" && item != "pages")
            malformed("SIM_FAIL", *value, "known commands are list, model, e2, smart, pages");
        commands.emplace(item);
    }
    return commands;
}

}  // namespace

Faults read_faults() {
    Faults faults;
    faults.model = env("SIM_MODEL");
    if (const auto row = env_nonempty("SIM_E2_ROW")) {
        if (*row == "missing")
            faults.e2_row = E2Row::Missing;
        else if (*row == "blank")
            faults.e2_row = E2Row::Blank;
        else
            malformed("SIM_E2_ROW", *row, "expected missing or blank");
    }
    faults.e2_row_text = env("SIM_E2_ROW_TEXT");
    faults.smart_serial = env("SIM_SMART_SERIAL");
    if (const auto style = env_nonempty("SIM_SMART_STYLE")) {
        if (*style != "sas" && *style != "ata") malformed("SIM_SMART_STYLE", *style, "expected sas or ata");
        faults.smart_sas_style = *style == "sas";
    }
    faults.failing_commands = parse_failing_commands();
    faults.failing_pages = parse_page_list("SIM_FAIL_PAGES");
    faults.short_pages = parse_page_list("SIM_SHORT_PAGES");
    faults.slow_page = parse_slow_page();
    faults.drop_file = parse_drop_file();
    if (const auto no_scratch = env_nonempty("SIM_NO_SCRATCH")) {
        if (*no_scratch != "1" && *no_scratch != "0") malformed("SIM_NO_SCRATCH", *no_scratch, "expected 1 or 0");
        faults.scratch_files = *no_scratch == "0";
    }
    return faults;
}

}  // namespace dumplog::sim
