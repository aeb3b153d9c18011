#include "run/console.h"

#include <cerrno>
#include <cmath>
#include <ctime>
#include <unistd.h>

#include "run/host.h"
#include "run/run_error.h"

namespace dumplog {

std::string format_timestamp(double ct) {
    const double whole = std::trunc(ct);
    const std::time_t seconds = static_cast<std::time_t>(whole);
    std::tm local_time{};
    localtime_r(&seconds, &local_time);

    char data_head[64];
    if (std::strftime(data_head, sizeof data_head, "%Y-%m-%d %H:%M:%S", &local_time) == 0) data_head[0] = '\0';

    const double data_secs = (ct - whole) * 1000;
    int millis = static_cast<int>(data_secs);  // truncation toward zero, never rounding
    if (millis > 999) millis = 999;            // a fraction below one second stays below 1000

    char time_stamp[96];
    std::snprintf(time_stamp, sizeof time_stamp, "[%s.%03d]", data_head, millis);
    return time_stamp;
}

Console::Console(std::FILE* out, std::FILE* err, std::FILE* in, Clock clock)
    : out_(out), err_(err), in_(in), clock_(std::move(clock)) {}

void Console::warn(const std::string& text) {
    // stdout first, so the warning lands after the lines it follows in a shared file.
    flush();
    std::fputs((text + "\n").c_str(), err_);
    std::fflush(err_);
}

void Console::write(std::FILE* stream, const std::string& text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream) != text.size() || std::ferror(stream))
        throw RunError(system_reason("writing to standard output", stream_errno(errno)));
}

void Console::flush() {
    errno = 0;
    if (std::fflush(out_) != 0 || std::ferror(out_))
        throw RunError(system_reason("writing to standard output", stream_errno(errno)));
}

std::optional<std::string> Console::prompt_line(std::size_t longest) {
    const bool terminal = isatty(fileno(in_)) && isatty(fileno(out_));
    if (terminal) {
        flush();
        std::fputs(" ", err_);
        std::fflush(err_);
    } else {
        write(out_, " ");
        flush();
    }

    std::string line;
    int c = 0;
    errno = 0;
    while (line.size() <= longest && (c = std::getc(in_)) != EOF && c != '\n') line += static_cast<char>(c);
    const int read_errno = errno;

    throw_if_interrupted();
    if (std::ferror(in_)) throw RunError(system_reason("reading standard input", stream_errno(read_errno)));
    if (c == EOF && line.empty()) return std::nullopt;
    return line;
}

}  // namespace dumplog
