#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace ts {

bool haveTool(const std::string& name)
{
    const char* path = getenv("PATH");
    std::stringstream ss(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(ss, dir, ':')) {
        std::string p = (dir.empty() ? "." : dir) + "/" + name;
        if (access(p.c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

std::string makeTempDir(const std::string& tag)
{
    namespace fs = std::filesystem;
    static int counter = 0;
    fs::path p = fs::temp_directory_path() /
                 ("orvel-" + tag + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(p);
    fs::create_directories(p);
    return p.string();
}

void removeTree(const std::string& dir)
{
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

std::vector<std::string> filesUnder(const std::string& dir)
{
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_regular_file())
            files.push_back(it->path().string());
    std::sort(files.begin(), files.end());
    return files;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    size_t n = bytes.empty() ? 0 : fwrite(bytes.data(), 1, bytes.size(), f);
    return fclose(f) == 0 && n == bytes.size();
}

bool writeText(const std::string& path, const std::string& text)
{
    return writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void put8(std::vector<uint8_t>& b, unsigned v)
{
    b.push_back((uint8_t)v);
}

void put16le(std::vector<uint8_t>& b, unsigned v)
{
    b.push_back((uint8_t)v);
    b.push_back((uint8_t)(v >> 8));
}

void put32le(std::vector<uint8_t>& b, uint32_t v)
{
    put16le(b, v & 0xFFFF);
    put16le(b, v >> 16);
}

void put16be(std::vector<uint8_t>& b, unsigned v)
{
    b.push_back((uint8_t)(v >> 8));
    b.push_back((uint8_t)v);
}

void putBytes(std::vector<uint8_t>& b, const char* s, size_t n)
{
    b.insert(b.end(), s, s + n);
}

void set16le(std::vector<uint8_t>& b, size_t at, unsigned v)
{
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}

std::string run(const std::string& cmd, int* status)
{
    std::string out;
    if (status)
        *status = -1;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int st = pclose(p);
    if (status)
        *status = (st != -1 && WIFEXITED(st)) ? WEXITSTATUS(st) : -1;
    return out;
}

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace ts
