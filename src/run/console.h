#pragma once
// The tool's console: timestamped messages and plain lines on standard
// output, the one-blank prompt, warnings on standard error. Every failed
// write throws RunError, so a closed pipe ends the run with status 1.
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace dumplog {

/// The message prefix "[%Y-%m-%d %H:%M:%S.mmm]" for one clock reading `ct`
/// (seconds since the epoch), in the process's local time zone. Seconds and
/// milliseconds come from the same reading; milliseconds are truncated.
std::string format_timestamp(double ct);

class Console {
public:
    using Clock = std::function<double()>;  ///< seconds since the epoch

    Console(std::FILE* out, std::FILE* err, std::FILE* in, Clock clock);

    /// Timestamp prefix from one reading of the clock.
    std::string get_current_time() const { return format_timestamp(clock_()); }
    /// Prefix, one blank, the text unchanged, a line feed.
    void MsgOut(const std::string& Sstr) { write(out_, get_current_time() + " " + Sstr + "\n"); }
    /// The text and a line feed, nothing in front.
    void plain(const std::string& text) { write(out_, text + "\n"); }
    /// Text written as it is (the option texts, which end in a line feed).
    void write_text(const std::string& text) { write(out_, text); }
    /// One line on standard error (warnings that must not mix with stdout).
    void warn(const std::string& text);
    /// Writes what is buffered; throws when standard output refuses it.
    void flush();
    /// Writes the one-blank prompt and reads one line without its line feed,
    /// but never more than `longest` + 1 bytes of it: a longer line comes back
    /// cut there, and the rest is left unread. Empty optional at end of
    /// input; throws when interrupted.
    std::optional<std::string> prompt_line(std::size_t longest);

private:
    void write(std::FILE* stream, const std::string& text);

    std::FILE* out_;
    std::FILE* err_;
    std::FILE* in_;
    Clock clock_;
};

}  // namespace dumplog
