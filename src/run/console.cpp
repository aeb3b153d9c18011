#include "run/console.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

#include "run/interrupt.h"
#include "run/run_error.h"
#include "run/timestamp.h"

namespace dumplog {

Console::Console(std::FILE* out, std::FILE* err, std::FILE* in, Clock clock)
    : out_(out), err_(err), in_(in), clock_(std::move(clock)) {}

std::string Console::get_current_time() const { return format_timestamp(clock_()); }

void Console::MsgOut(const std::string& Sstr) { write(out_, get_current_time() + " " + Sstr + "\n"); }

void Console::plain(const std::string& text) { write(out_, text + "\n"); }

void Console::warn(const std::string& text) {
    // stdout first, so the warning lands after the lines it follows in a shared file.
    flush();
    std::fputs((text + "\n").c_str(), err_);
    std::fflush(err_);
}

void Console::write(std::FILE* stream, const std::string& text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream) != text.size() || std::ferror(stream))
        throw RunError(system_reason("writing to standard output", errno ? errno : EIO));
}

void Console::flush() {
    errno = 0;
    if (std::fflush(out_) != 0 || std::ferror(out_))
        throw RunError(system_reason("writing to standard output", errno ? errno : EIO));
}

std::optional<std::string> Console::prompt_line() {
    const bool terminal = isatty(fileno(in_)) && isatty(fileno(out_));
    if (terminal) {
        flush();
        std::fputs(" ", err_);
        std::fflush(err_);
    } else {
        write(out_, " ");
        flush();
    }

    char* buffer = nullptr;
    std::size_t capacity = 0;
    errno = 0;
    const ssize_t length = getline(&buffer, &capacity, in_);
    const int read_errno = errno;
    std::string line = length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
    std::free(buffer);

    throw_if_interrupted();
    if (length < 0) {
        if (std::ferror(in_)) throw RunError(system_reason("reading standard input", read_errno ? read_errno : EIO));
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
}

}  // namespace dumplog
