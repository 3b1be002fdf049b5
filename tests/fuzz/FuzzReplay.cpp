// Runs a fuzz target without libFuzzer, so that every build's test suite
// exercises it: every file of the seed folders given on the command line,
// then a fixed number of inputs made from them by deterministic mutations
// (bit flips, byte changes, insertions, cuts, splices of two seeds). The same
// inputs every run: a failure found here is found again by the next run.
// A target reports a fault by aborting (or through a sanitizer), which fails
// the test with the input that did it written to standard error.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Input = std::vector<uint8_t>;

// xorshift64*: a small generator whose sequence is fixed by its seed.
class CMutator {
public:
    explicit CMutator(uint64_t seed) : m_state(seed | 1) {}
    uint64_t Next() {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 2685821657736338717ULL;
    }
    size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(Next() % n); }

    Input Mutate(const std::vector<Input>& seeds, size_t maxLength) {
        Input input = seeds[Below(seeds.size())];
        const size_t steps = 1 + Below(8);
        for (size_t step = 0; step < steps; ++step) {
            switch (Below(6)) {
                case 0:  // flip one bit
                    if (!input.empty()) input[Below(input.size())] ^= static_cast<uint8_t>(1u << Below(8));
                    break;
                case 1:  // one byte anything, or one of the bytes parsers care about
                    if (!input.empty()) {
                        static const uint8_t kSpecial[] = {0x00, 0xFF, '\n', '\r', ':', 'S', '0', '9', 'F', 0x7F};
                        input[Below(input.size())] = Below(2) == 0 ? static_cast<uint8_t>(Next())
                                                                   : kSpecial[Below(sizeof kSpecial)];
                    }
                    break;
                case 2:  // insert a few bytes
                    input.insert(input.begin() + static_cast<std::ptrdiff_t>(Below(input.size() + 1)),
                                 1 + Below(4), static_cast<uint8_t>(Next()));
                    break;
                case 3:  // cut a piece out
                    if (!input.empty()) {
                        const size_t at = Below(input.size());
                        const size_t length = std::min(input.size() - at, 1 + Below(16));
                        input.erase(input.begin() + static_cast<std::ptrdiff_t>(at),
                                    input.begin() + static_cast<std::ptrdiff_t>(at + length));
                    }
                    break;
                case 4: {  // the head of this input and the tail of another seed
                    const Input& other = seeds[Below(seeds.size())];
                    input.resize(Below(input.size() + 1));
                    input.insert(input.end(), other.begin() + static_cast<std::ptrdiff_t>(Below(other.size() + 1)),
                                 other.end());
                    break;
                }
                default:  // repeat a piece, as a line given twice
                    if (!input.empty()) {
                        const size_t at = Below(input.size());
                        const size_t length = std::min(input.size() - at, 1 + Below(64));
                        const Input piece(input.begin() + static_cast<std::ptrdiff_t>(at),
                                          input.begin() + static_cast<std::ptrdiff_t>(at + length));
                        input.insert(input.begin() + static_cast<std::ptrdiff_t>(Below(input.size() + 1)),
                                     piece.begin(), piece.end());
                    }
                    break;
            }
        }
        if (input.size() > maxLength) input.resize(maxLength);
        return input;
    }

private:
    uint64_t m_state;
};

Input ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Input(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What the current input is, should the target abort on it.
const Input* g_current = nullptr;

void TellInput() {
    if (g_current == nullptr) return;
    std::fprintf(stderr, "fuzz replay: the input that failed (%zu bytes):", g_current->size());
    for (const uint8_t byte : *g_current) std::fprintf(stderr, " %02X", byte);
    std::fprintf(stderr, "\n");
}

void Run(const Input& input) {
    g_current = &input;
    // A copy the target may read to its end and no further (the sanitizers
    // see an overrun).
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[input.size() + 1]);
    if (!input.empty()) std::memcpy(copy.get(), input.data(), input.size());
    LLVMFuzzerTestOneInput(copy.get(), input.size());
    g_current = nullptr;
}

extern "C" void OnAbort(int) {
    TellInput();
    std::_Exit(134);
}

}  // namespace

// Usage: replay -runs=N [-max_len=N] SEED_FOLDER...
int main(int argc, char** argv) {
    size_t runs = 1000;
    size_t maxLength = 4096;
    std::vector<Input> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("-runs=", 0) == 0) {
            runs = std::strtoul(arg.c_str() + 6, nullptr, 10);
        } else if (arg.rfind("-max_len=", 0) == 0) {
            maxLength = std::strtoul(arg.c_str() + 9, nullptr, 10);
        } else {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& file : files) seeds.push_back(ReadWhole(file));
        }
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "fuzz replay: no seed files\n");
        return 2;
    }
    std::signal(SIGABRT, OnAbort);
    for (const Input& seed : seeds) Run(seed);
    Run(Input{});
    CMutator mutator(0x9E3779B97F4A7C15ULL);
    for (size_t run = 0; run < runs; ++run) Run(mutator.Mutate(seeds, maxLength));
    std::printf("fuzz replay: %zu seeds and %zu mutations, no fault\n", seeds.size(), runs);
    return 0;
}
