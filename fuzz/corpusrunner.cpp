#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

// Stands in for libFuzzer's main where no fuzzing engine is linked: feeds
// every file of the folders named to the target once, so the seed corpus and
// every crash saved into it replay as a regression test.
int main(int argc, char **argv)
{
    std::set<std::filesystem::path> files;  // name order, the same on every run
    for (int i = 1; i < argc; ++i)
        for (const auto &entry : std::filesystem::directory_iterator(argv[i]))
            files.insert(entry.path());
    for (const auto &file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs ran without a fault\n", files.size());
    return files.empty() ? 1 : 0;
}
