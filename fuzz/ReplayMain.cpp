// Runs a fuzz target over files and folders named on the command line, the way libFuzzer
// would run them one by one, so that ordinary builds replay the corpus and the crash files.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), {});
    LLVMFuzzerTestOneInput(data.data(), data.size());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int failures = 0;
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(arg, ec)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(arg)) {
                if (entry.is_regular_file() && entry.path().filename() != "NOTES.md") {
                    failures += RunFile(entry.path());
                    ++runs;
                }
            }
        } else if (std::filesystem::exists(arg, ec)) {
            failures += RunFile(arg);
            ++runs;
        }
    }
    std::printf("replayed %d inputs\n", runs);
    if (runs == 0) {
        std::fprintf(stderr, "no inputs found: the seed corpus is missing\n");
        return 1;
    }
    return failures == 0 ? 0 : 1;
}
