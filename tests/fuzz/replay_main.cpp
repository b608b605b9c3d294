/*
 * Runs a fuzzer's LLVMFuzzerTestOneInput once on each file named on the
 * command line, and on every file inside each folder named (sorted by name,
 * not recursing), as libFuzzer does when it is handed files. This is how the
 * fuzzers run in a build without libFuzzer: the test suite replays the seeds
 * and the inputs of tests/regress through them, under every sanitizer build.
 *
 * Exit status: 0 when every input ran, 1 when a file cannot be read or no
 * input was given; a broken invariant aborts with the input's name printed
 * first.
 */
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

/* The standard error stream as it was at start: the fuzzers send the
 * stream (not the descriptor) to /dev/null on their first input. */
FILE* report = nullptr;

bool runFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fprintf(report, "replay: cannot read %s\n", path.c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fprintf(report, "replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
    fflush(report);
    /* a copy of exactly the input's size, so that a read past its end shows */
    uint8_t* copy = new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)];
    std::copy(bytes.begin(), bytes.end(), copy);
    LLVMFuzzerTestOneInput(copy, bytes.size());
    delete[] copy;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    report = stderr;
    long runs = 0;
    for (int i = 1; i < argc; i++) {
        std::error_code ec;
        if (fs::is_directory(argv[i], ec)) {
            std::vector<std::string> files;
            for (const auto& e : fs::directory_iterator(argv[i], ec))
                if (e.is_regular_file())
                    files.push_back(e.path().string());
            std::sort(files.begin(), files.end());
            for (const std::string& f : files) {
                if (!runFile(f))
                    return 1;
                runs++;
            }
        } else {
            if (!runFile(argv[i]))
                return 1;
            runs++;
        }
    }
    fprintf(report, "replay: %ld inputs\n", runs);
    return runs > 0 ? 0 : 1;
}
