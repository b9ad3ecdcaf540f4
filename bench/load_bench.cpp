// load_bench: how long the Model constructor takes on each mesh given, how
// much memory it needs on top of what the process already held, and how that
// compares with the floor and with a plain fscanf reader timed in the same
// rounds.
//
//   load_bench [--runs N] [--pause SECONDS] MESH.off...
//
// Every run is a fresh child process, so each one pays for its page faults
// and starts from an empty heap, as the viewer does; the contenders take turns
// inside each round (in rotating order) so that a disturbance from other work
// on the machine hits all of them alike. Figures are medians over the rounds;
// ratios are medians of the ratios within each round.
//
// With --pause, every run waits that long first, as a viewer's load comes
// after the user has typed a path; only the constructor and the floor run
// then.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "bench/contenders.h"
#include "bench/digest.h"
#include "bench/stages.h"
#include "mesh/model.h"

namespace {

enum Contender { modelContender, stagesContender, floorContender, fscanfContender, contenderCount };
const char* const contenderNames[contenderCount] = {"Model", "stages", "floor", "fscanf"};

struct Sample {
    double seconds = 0;
    double stage[stageCount] = {};
    double peakBytes = 0;   // resident memory added during the load, at its highest
    double afterBytes = 0;  // and once it is done: the tables, if everything else was let go
    std::uint64_t digest = 0;
};

// A field of /proc/self/status in bytes (the kernel gives kB).
double statusBytes(const char* field) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    double value = 0;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            value = 1024.0 * std::atof(line + length + 1);
    std::fclose(status);
    return value;
}

// Sets the peak resident size back to the current one, so that VmHWM after
// the load is the load's own peak.
bool resetPeak() {
    std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
    if (!refs) return false;
    const bool ok = std::fputs("5", refs) >= 0;
    return std::fclose(refs) == 0 && ok;
}

Sample runHere(Contender contender, const char* path) {
    Sample sample;
    if (!resetPeak()) {
        std::fputs("load_bench: cannot reset the peak resident size (/proc/self/clear_refs)\n", stderr);
        std::exit(2);
    }
    const double before = statusBytes("VmRSS");
    const double start = now();
    auto stop = [&] {
        sample.seconds = now() - start;
        sample.peakBytes = statusBytes("VmHWM") - before;
        sample.afterBytes = statusBytes("VmRSS") - before;
    };
    Digest digest;
    switch (contender) {
        case modelContender: {
            const Model model(path);
            stop();
            digest = digestModel(model);
            break;
        }
        case stagesContender: {
            Model model;
            loadInStages(path, model, sample.stage);
            stop();
            digest = digestModel(model);
            break;
        }
        case floorContender:
            digest = loadFloor(path);
            stop();
            break;
        case fscanfContender:
            digest = loadFscanf(path);
            stop();
            break;
        case contenderCount: break;
    }
    sample.digest = digest.value;
    return sample;
}

struct Header {
    long vertexCount = 0, faceCount = 0;
};

Header readHeader(const char* path) {
    Header header;
    std::FILE* file = std::fopen(path, "r");
    char keyword[12];
    if (!file || std::fscanf(file, "%11s %ld %ld", keyword, &header.vertexCount, &header.faceCount) != 3) {
        std::fprintf(stderr, "load_bench: %s: not an OFF mesh\n", path);
        std::exit(2);
    }
    std::fclose(file);
    return header;
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".off") == 0) name.resize(name.size() - 4);
    return name;
}

struct Row {
    std::string name;
    Header header;
    double fileBytes = 0;
    bool ran[contenderCount] = {};
    double seconds[contenderCount] = {};
    double noise[contenderCount] = {};
    double stage[stageCount] = {};
    double ratioToFloor = 0, ratioToFscanf = 0;
    double peakBytes = 0, boundBytes = 0, afterBytes = 0, tableBytes = 0;
};

Row measure(const char* path, int runs, int pause) {
    Row row;
    row.name = baseName(path);
    row.header = readHeader(path);
    struct stat info {};
    ::stat(path, &info);
    row.fileBytes = static_cast<double>(info.st_size);

    std::vector<Contender> contenders = {modelContender, floorContender};
    if (pause == 0) contenders.insert(contenders.end(), {stagesContender, fscanfContender});
    std::vector<double> seconds[contenderCount], stage[stageCount], toFloor, toFscanf, peak, after;
    for (int round = 0; round < runs; ++round) {
        Sample samples[contenderCount];
        for (std::size_t turn = 0; turn < contenders.size(); ++turn) {
            const Contender contender = contenders[(round + turn) % contenders.size()];
            if (pause > 0) ::sleep(static_cast<unsigned>(pause));
            samples[contender] =
                inChild<Sample>([contender, path] { return runHere(contender, path); }, contenderNames[contender]);
            seconds[contender].push_back(samples[contender].seconds);
            row.ran[contender] = true;
        }
        toFloor.push_back(samples[modelContender].seconds / samples[floorContender].seconds);
        peak.push_back(samples[modelContender].peakBytes);
        after.push_back(samples[modelContender].afterBytes);
        for (Contender other : contenders)
            if (other != floorContender && samples[other].digest != samples[modelContender].digest) {
                std::fprintf(stderr, "load_bench: %s: the %s tables differ from the Model's\n", path,
                             contenderNames[other]);
                std::exit(1);
            }
        if (pause > 0) continue;
        for (int s = 0; s < stageCount; ++s) stage[s].push_back(samples[stagesContender].stage[s]);
        toFscanf.push_back(samples[modelContender].seconds / samples[fscanfContender].seconds);
    }
    for (int c = 0; c < contenderCount; ++c)
        if (row.ran[c]) {
            row.seconds[c] = median(seconds[c]);
            row.noise[c] = spread(seconds[c]);
        }
    if (pause == 0) {
        for (int s = 0; s < stageCount; ++s) row.stage[s] = median(stage[s]);
        row.ratioToFscanf = median(toFscanf);
    }
    row.ratioToFloor = median(toFloor);
    row.peakBytes = median(peak);
    row.afterBytes = median(after);
    row.tableBytes = sizeof(Vertex) * static_cast<double>(row.header.vertexCount) +
                     sizeof(Face) * static_cast<double>(row.header.faceCount);
    row.boundBytes = 1.1 * (row.tableBytes + row.fileBytes);
    return row;
}

constexpr double megabyte = 1e6;

void printLine(const Row& row, int pause) {
    const double model = row.seconds[modelContender];
    std::printf("%-12s %8ld faces %6.1f MB: load %.4f s (%4.0f MB/s, +-%.0f%%) = %.2fx floor (%.4f s)",
                row.name.c_str(), row.header.faceCount, row.fileBytes / megabyte, model,
                row.fileBytes / megabyte / model, 100 * row.noise[modelContender], row.ratioToFloor,
                row.seconds[floorContender]);
    if (pause == 0) std::printf(", %.2fx fscanf (%.4f s)", row.ratioToFscanf, row.seconds[fscanfContender]);
    if (pause > 0) {
        std::printf(", each run after %d s idle\n", pause);
        return;
    }
    std::printf(" | stages:");
    for (int s = 0; s < stageCount; ++s) std::printf(" %s %.4f", stageNames[s], row.stage[s]);
    std::printf(" | peak %.1f MB of %.1f MB, %.1f MB left for %.1f MB of tables\n", row.peakBytes / megabyte,
                row.boundBytes / megabyte, row.afterBytes / megabyte, row.tableBytes / megabyte);
    std::fflush(stdout);
}

void printTable(const std::vector<Row>& rows) {
    std::printf("\n| mesh | faces | MB | Model s | MB/s | noise | floor s | x floor | fscanf s | x fscanf |");
    for (const char* stageName : stageNames) std::printf(" %s s |", stageName);
    std::printf(" peak MB | bound MB | after MB | tables MB |\n|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|");
    for (int s = 0; s < stageCount; ++s) std::printf("--:|");
    std::printf("--:|--:|--:|--:|\n");
    for (const Row& row : rows) {
        const double model = row.seconds[modelContender];
        std::printf("| %s | %ld | %.1f | %.4f | %.0f | %.0f%% | %.4f | %.2f | %.4f | %.2f |", row.name.c_str(),
                    row.header.faceCount, row.fileBytes / megabyte, model, row.fileBytes / megabyte / model,
                    100 * row.noise[modelContender], row.seconds[floorContender], row.ratioToFloor,
                    row.seconds[fscanfContender], row.ratioToFscanf);
        for (double stage : row.stage) std::printf(" %.4f |", stage);
        std::printf(" %.1f | %.1f | %.1f | %.1f |\n", row.peakBytes / megabyte, row.boundBytes / megabyte,
                    row.afterBytes / megabyte, row.tableBytes / megabyte);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 7, pause = 0;
    std::vector<const char*> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--pause") == 0 && i + 1 < argc)
            pause = std::max(0, std::atoi(argv[++i]));
        else
            paths.push_back(argv[i]);
    }
    if (paths.empty()) {
        std::fputs("usage: load_bench [--runs N] [--pause SECONDS] MESH.off...\n", stderr);
        return 2;
    }
    std::vector<Row> rows;
    for (const char* path : paths) {
        rows.push_back(measure(path, runs, pause));
        printLine(rows.back(), pause);
    }
    if (pause == 0) printTable(rows);
    return 0;
}
