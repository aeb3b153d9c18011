// Runs a fuzz target without libFuzzer, once over each file named: the ordinary test build replays the seeds,
// the inputs kept as regression cases and the real reports.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    for (int k = 1; k < argc; ++k) {
        std::ifstream in(argv[k], std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        std::fprintf(stderr, "%s%s\n", argv[k], in ? "" : ": cannot read");
        if (!in) return 2;
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    return argc > 1 ? 0 : 2;  // no input at all is a broken test, not a pass
}
