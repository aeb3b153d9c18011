// Replays a fuzz target without libFuzzer: runs its entry point once over each
// file named on the command line, so the ordinary test build keeps checking
// the seeds, the inputs kept as regression cases and the real reports.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    for (int k = 1; k < argc; ++k) {
        std::ifstream in(argv[k], std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in) {
            std::fprintf(stderr, "%s: cannot read\n", argv[k]);
            return 2;
        }
        std::printf("%s (%zu bytes)\n", argv[k], bytes.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%d inputs replayed\n", argc - 1);
    return argc > 1 ? 0 : 2;  // no input at all is a broken test, not a pass
}
