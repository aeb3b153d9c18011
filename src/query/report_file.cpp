#include "query/report_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "run/run_error.h"

namespace dumplog {

std::vector<std::string> split_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end + 1 - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> read_report_lines(const std::string& path) {
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) throw RunError(system_reason("cannot open " + path, errno));

    std::string bytes;
    char chunk[8192];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) bytes.append(chunk, got);
    if (std::ferror(f.get())) throw RunError(system_reason("cannot read " + path, errno ? errno : EIO));
    return split_lines(bytes);
}

}  // namespace dumplog
