#include "run/timestamp.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace dumplog {

std::string format_timestamp(double ct) {
    const double whole = std::trunc(ct);
    const std::time_t seconds = static_cast<std::time_t>(whole);
    std::tm local_time{};
    localtime_r(&seconds, &local_time);

    char data_head[64];
    if (std::strftime(data_head, sizeof data_head, "%Y-%m-%d %H:%M:%S", &local_time) == 0)
        data_head[0] = '\0';

    const double data_secs = (ct - whole) * 1000;
    int millis = static_cast<int>(data_secs);  // truncation toward zero, never rounding
    if (millis > 999) millis = 999;            // a fraction below one second stays below 1000

    char time_stamp[96];
    std::snprintf(time_stamp, sizeof time_stamp, "[%s.%03d]", data_head, millis);
    return time_stamp;
}

}  // namespace dumplog
