#pragma once
#include <string>
#include <vector>

namespace dumplog {

struct Seams;

/// One collection run, phase by phase. Returns 0 after the normal end and
/// after the error branch; every failure leaves as RunError naming its step.
int dumplog_KR4KRW(const std::vector<std::string>& args, Seams& seams);

/// The process entry around a run: the error report on stderr and status 1
/// for a failure, status 0 otherwise. Never any other status.
int run_process(const std::vector<std::string>& args, Seams& seams);

}  // namespace dumplog
