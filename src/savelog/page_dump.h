#pragma once
#include <string>
#include <vector>

namespace dumplog {

struct RunState;
struct Host;

inline constexpr int kSavelogPages = 128;
inline constexpr long kSavelogPageBytes = 16384;
inline constexpr double kPageCommandPause = 0.05;

/// Said on stderr when the model report held no identification (no line for
/// it, or one of empty fields): the run goes on as for another family.
inline constexpr const char* kNoModelWarning =
    "warning: CheckModel.txt holds no model identification, so the drive was taken for one of another family; "
    "no save log was read";

/// Family drives: 128 page commands, each writing one page file into the
/// output folder, with a pause after each. Other drives: the refusal message.
void dump_pages(RunState& state, Host& host);

/// Three-digit numbers of the pages whose file is missing or not 16384 bytes.
std::vector<std::string> incomplete_pages(const std::string& DriveSN, const std::vector<std::string>& devInfo);

/// The stderr warning for those pages; empty when every page is complete.
std::string incomplete_pages_warning(const std::vector<std::string>& pages);

}  // namespace dumplog
