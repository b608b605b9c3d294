/*
 * bench_audio_run ORVEL_MODPLAY MODULE_DIR OUT.json [ROUNDS]
 *
 * Renders every .xm, .mod and .s3m under MODULE_DIR to WAV with three
 * players, one pass each, and measures the CPU time (user + system) of each
 * run:
 *   ours     orvel-modplay FILE -o OUT.wav
 *   xmp      xmp -i nearest -f 22050 -o OUT.wav FILE
 *   openmpt  openmpt123 --render --samplerate 22050 --filter 1 --ramping 0 FILE
 * The players take turns song by song and round by round (the order rotates),
 * so a busy machine slows all of them alike. The audio length of each run is
 * read from the WAV it wrote. Prints CPU seconds per minute of audio for each
 * player and our ratio to each peer, and writes the same as JSON.
 */
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Player {
    std::string name;
    double cpu = 0;   /* seconds */
    double audio = 0; /* seconds */
    int runs = 0, failures = 0;
};

/* Runs argv with stdout and stderr to /dev/null; returns the child's CPU
 * seconds, or -1 when it could not run or failed. */
double runCpu(const std::vector<std::string>& args)
{
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        FILE* null = fopen("/dev/null", "w");
        if (null) {
            dup2(fileno(null), 1);
            dup2(fileno(null), 2);
        }
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage ru;
    if (wait4(pid, &status, 0, &ru) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return (double)ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + (double)ru.ru_stime.tv_sec +
           ru.ru_stime.tv_usec / 1e6;
}

uint32_t le32(const std::vector<unsigned char>& b, size_t at)
{
    return (uint32_t)b[at] | (uint32_t)b[at + 1] << 8 | (uint32_t)b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}

/* Seconds of audio in a WAV file (any PCM or float layout), or -1. */
double wavSeconds(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> head(4096);
    in.read((char*)head.data(), (std::streamsize)head.size());
    head.resize((size_t)in.gcount());
    std::error_code ec;
    uintmax_t fileSize = fs::file_size(path, ec);
    if (ec || head.size() < 44 || memcmp(head.data(), "RIFF", 4) || memcmp(head.data() + 8, "WAVE", 4))
        return -1;
    unsigned channels = 0, bits = 0, rate = 0;
    for (size_t at = 12; at + 8 <= head.size();) {
        uint32_t size = le32(head, at + 4);
        if (!memcmp(head.data() + at, "fmt ", 4) && at + 24 <= head.size()) {
            channels = head[at + 10] | head[at + 11] << 8;
            rate = le32(head, at + 12);
            bits = head[at + 22] | head[at + 23] << 8;
        } else if (!memcmp(head.data() + at, "data", 4)) {
            if (!channels || !bits || !rate)
                return -1;
            uintmax_t bytes = std::min<uintmax_t>(size, fileSize - (at + 8));
            return (double)bytes / (channels * bits / 8) / rate;
        }
        at += 8 + size + (size & 1);
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: bench_audio_run ORVEL_MODPLAY MODULE_DIR OUT.json [ROUNDS]\n");
        return 2;
    }
    std::string ours = argv[1], dir = argv[2], jsonPath = argv[3];
    int rounds = argc > 4 ? atoi(argv[4]) : 3;
    std::vector<std::string> songs;
    std::error_code ec;
    for (auto& e : fs::recursive_directory_iterator(dir, ec)) {
        std::string ext = e.path().extension().string();
        for (char& ch : ext)
            ch = (char)tolower((unsigned char)ch);
        if (e.is_regular_file() && (ext == ".xm" || ext == ".mod" || ext == ".s3m"))
            songs.push_back(e.path().string());
    }
    std::sort(songs.begin(), songs.end());
    if (songs.empty()) {
        fprintf(stderr, "bench_audio: no module files under %s (scripts/get-test-modules fetches them)\n",
                dir.c_str());
        return 1;
    }
    fs::path tmp = fs::temp_directory_path() / ("orvel-bench-audio-" + std::to_string(getpid()));
    fs::create_directories(tmp);

    std::vector<Player> players(3);
    players[0].name = "orvel-modplay";
    players[1].name = "xmp";
    players[2].name = "openmpt123";
    for (int round = 0; round < rounds; round++) {
        for (size_t s = 0; s < songs.size(); s++) {
            /* the copy keeps the extension: players may look at it */
            fs::path copy = tmp / ("song" + fs::path(songs[s]).extension().string());
            fs::copy_file(songs[s], copy, fs::copy_options::overwrite_existing, ec);
            for (int k = 0; k < 3; k++) {
                int who = (int)((k + s + (size_t)round) % 3);
                std::vector<std::string> args;
                std::string out;
                if (who == 0) {
                    out = (tmp / "ours.wav").string();
                    args = {ours, copy.string(), "-o", out};
                } else if (who == 1) {
                    out = (tmp / "xmp.wav").string();
                    args = {"xmp", "-i", "nearest", "-f", "22050", "-o", out, "--nocmd", "-q", copy.string()};
                } else {
                    out = copy.string() + ".wav";
                    args = {"openmpt123", "--render", "--samplerate", "22050", "--filter", "1", "--ramping", "0",
                            "--force", "-q", copy.string()};
                }
                fs::remove(out, ec);
                double cpu = runCpu(args);
                double seconds = cpu >= 0 ? wavSeconds(out) : -1;
                Player& p = players[(size_t)who];
                if (cpu < 0 || seconds <= 0) {
                    p.failures++;
                    continue;
                }
                p.cpu += cpu;
                p.audio += seconds;
                p.runs++;
            }
        }
    }
    fs::remove_all(tmp, ec);

    double perMin[3];
    for (int i = 0; i < 3; i++)
        perMin[i] = players[(size_t)i].audio > 0 ? players[(size_t)i].cpu / (players[(size_t)i].audio / 60.0) : -1;
    printf("audio: %zu songs x %d rounds, 22050 Hz stereo, one pass each\n", songs.size(), rounds);
    printf("%-14s %10s %12s %14s %8s\n", "player", "cpu s", "audio min", "cpu s / min", "failed");
    for (int i = 0; i < 3; i++)
        printf("%-14s %10.3f %12.2f %14.5f %8d\n", players[(size_t)i].name.c_str(), players[(size_t)i].cpu,
               players[(size_t)i].audio / 60.0, perMin[i], players[(size_t)i].failures);
    double fastestPeer = -1;
    for (int i = 1; i < 3; i++)
        if (perMin[i] > 0 && (fastestPeer < 0 || perMin[i] < fastestPeer))
            fastestPeer = perMin[i];
    double r1 = perMin[1] > 0 ? perMin[0] / perMin[1] : -1, r2 = perMin[2] > 0 ? perMin[0] / perMin[2] : -1;
    double rf = fastestPeer > 0 ? perMin[0] / fastestPeer : -1;
    printf("ratio ours/xmp %.3f, ours/openmpt123 %.3f, ours/fastest peer %.3f (aim: at most 0.35)\n", r1, r2, rf);

    FILE* j = fopen(jsonPath.c_str(), "w");
    if (!j) {
        fprintf(stderr, "bench_audio: cannot write %s: %s\n", jsonPath.c_str(), strerror(errno));
        return 1;
    }
    fprintf(j, "{\n  \"songs\": %zu,\n  \"rounds\": %d,\n  \"players\": {\n", songs.size(), rounds);
    for (int i = 0; i < 3; i++)
        fprintf(j, "    \"%s\": {\"cpu_s\": %.4f, \"audio_s\": %.3f, \"cpu_s_per_audio_min\": %.6f, \"failed\": %d}%s\n",
                players[(size_t)i].name.c_str(), players[(size_t)i].cpu, players[(size_t)i].audio, perMin[i],
                players[(size_t)i].failures, i < 2 ? "," : "");
    fprintf(j, "  },\n  \"ratio_vs_xmp\": %.4f,\n  \"ratio_vs_openmpt123\": %.4f,\n  \"ratio_vs_fastest_peer\": %.4f\n}\n",
            r1, r2, rf);
    fclose(j);
    return players[0].failures ? 1 : 0;
}
