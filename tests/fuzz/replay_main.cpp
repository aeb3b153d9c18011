// Replays a fuzz target without libFuzzer: runs its entry point once over each
// file named on the command line, or in a folder named there (in name order),
// so the ordinary test build keeps checking the seeds and the inputs kept as
// regression cases. A path after --optional may be missing; it is skipped with
// a message (the real report corpus beside the project is not in every clone).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::size_t replayed = 0;
    bool optional = false;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--optional") {
            optional = true;
            continue;
        }
        const fs::path path = arg;
        std::vector<fs::path> files;
        if (fs::is_directory(path)) {
            for (const auto& entry : fs::directory_iterator(path))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
        } else if (fs::is_regular_file(path)) {
            files.push_back(path);
        } else if (optional) {
            std::printf("skipping %s: not found\n", arg.c_str());
        } else {
            std::fprintf(stderr, "%s: not found\n", arg.c_str());
            return 2;
        }
        optional = false;

        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!in.good() && !in.eof()) {
                std::fprintf(stderr, "%s: cannot read\n", file.c_str());
                return 2;
            }
            std::printf("%s (%zu bytes)\n", file.c_str(), bytes.size());
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::fprintf(stderr, "no input replayed\n");
        return 2;
    }
    std::printf("%zu inputs replayed\n", replayed);
    return 0;
}
