#pragma once
#include <optional>
#include <string>
#include <vector>

namespace dumplog {

struct Host;

/// One collection run, phase by phase. Returns 0 after the normal end and
/// after the error branch; every failure leaves as RunError naming its step.
int dumplog_KR4KRW(const std::vector<std::string>& args, Host& host);

/// What the lone argument --version or --help prints; nothing for any other
/// command line, which goes to the run as it is.
std::optional<std::string> option_text(const std::vector<std::string>& args);

/// The process entry around a run: --version and --help before anything
/// else; the error report on stderr and status 1
/// for a failure, status 0 otherwise. Never any other status.
int run_process(const std::vector<std::string>& args, Host& host);

}  // namespace dumplog
