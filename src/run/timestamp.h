#pragma once
#include <string>

namespace dumplog {

/// The console prefix "[%Y-%m-%d %H:%M:%S.mmm]" for one clock reading `ct`
/// (seconds since the epoch), in the process's local time zone. Seconds and
/// milliseconds come from the same reading; milliseconds are truncated.
std::string format_timestamp(double ct);

}  // namespace dumplog
