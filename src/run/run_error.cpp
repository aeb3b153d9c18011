#include "run/run_error.h"

#include <cstring>

namespace dumplog {

std::string system_reason(const std::string& what, int errno_value) {
    return what + ": " + std::strerror(errno_value);
}

}  // namespace dumplog
