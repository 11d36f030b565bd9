// Without libFuzzer, a fuzz target is a plain program that feeds it every file it is given
// (files, or folders whose files are all read), so the seed corpus runs as a regression test
// in every build.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool feed(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
                if (!entry.is_regular_file())
                    continue;
                if (!feed(entry.path()))
                    return 1;
                ++inputs;
            }
        } else {
            if (!feed(path))
                return 1;
            ++inputs;
        }
    }
    // An empty corpus would make the test pass without running the target once.
    if (inputs == 0) {
        std::fprintf(stderr, "no inputs\n");
        return 1;
    }
    std::printf("%d inputs\n", inputs);
    return 0;
}
