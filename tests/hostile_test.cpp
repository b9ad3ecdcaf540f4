// Hostile input and a hostile environment through the real binary. Whatever
// a file holds, whatever the path names, whatever happens to standard input,
// and however few threads or how little memory the system grants, tarvexgl
// must end by itself with status 255 and exactly one line on standard error
// (never a signal, never an abort), or load the mesh; nothing on standard
// output but the prompt. The reader's own table (off_reader_test) holds
// every kind of malformed text; here a few of each kind go through the
// binary.
//
// Needs an X display: the window opens before the prompt. Deadlines only
// catch a hang; a viewer that loads is ended by closing its window (status
// 0). Under TARVEXGL_RUN_UNDER (valgrind, see run_process.h) anything the
// tool prints on standard error fails the case.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "address_sanitizer.h"
#include "run_process.h"
#include "temp_file.h"

namespace {

const std::string prompt = "Enter the file name :  ";
const std::string modelPrefix = "Model Constructor: ";

bool canLimitAddressSpace() { return !addressSanitizer && !underWrapper(); }

class Hostile : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display; run under xvfb-run";
    }

    // The common ending of a refusal: status 255, only the prompt on
    // standard output, one line on standard error that starts with
    // `errorPrefix`.
    static void expectRefusal(const std::string& name, const ProcessResult& r, const std::string& errorPrefix) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(r.stillRunning) << "still running after " << r.seconds << " s";
        EXPECT_EQ(r.signal, 0) << "ended by signal " << r.signal << "; stderr: " << r.err;
        EXPECT_EQ(r.exitStatus, 255) << "stderr: " << r.err;
        EXPECT_EQ(r.out, prompt);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "stderr: " << r.err;
        EXPECT_TRUE(!r.err.empty() && r.err.back() == '\n') << "stderr: " << r.err;
        EXPECT_EQ(r.err.substr(0, errorPrefix.size()), errorPrefix) << "stderr: " << r.err;
    }

    static void expectLoaded(const std::string& name, const ProcessResult& r) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(r.stillRunning) << "still running after " << r.seconds << " s; stderr: " << r.err;
        EXPECT_EQ(r.signal, 0) << "ended by signal " << r.signal << "; stderr: " << r.err;
        EXPECT_EQ(r.exitStatus, 0) << "stderr: " << r.err;
        EXPECT_EQ(r.out, prompt);
        EXPECT_EQ(r.err, "");
    }

    static ProcessResult answer(const std::string& input, bool noStdin = false) {
        ViewerRun run;
        run.input = input;
        run.noStdin = noStdin;
        return runViewer(run);
    }

    static void expectRefused(const std::string& name, const std::string& input, const std::string& errorPrefix,
                              bool noStdin = false) {
        expectRefusal(name, answer(input, noStdin), errorPrefix);
    }

    // The file holding `contents` must be refused by the reader, which names
    // the file first.
    static void expectFileRefused(const std::string& name, const std::string& contents) {
        const std::string path = writeTempFile("hostile.off", contents);
        expectRefused(name, path + "\n", modelPrefix + path + ":");
    }
};

struct HostileFile {
    const char* name;
    std::string contents;
};

const std::string triangleHead = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n";  // one face record due

TEST_F(Hostile, MalformedFilesAreRefused) {
    const HostileFile cases[] = {
        {"empty file", ""},
        {"two signs", "OFF\n1 0 0\n--1 0 0\n"},
        {"fraction as a vertex index", triangleHead + "3 0 1 2.0\n"},
        {"integer above the 32-bit range", triangleHead + "3 0 1 2147483648\n"},
        {"file ends inside a face", triangleHead + "3 0 1"},
        {"keyword of 5000 characters", std::string(5000, 'K') + " 0 0 0\n"},
        {"most negative count", "OFF\n-2147483648 0 0\n"},
        {"vertex index equal to the vertex count", triangleHead + "3 0 1 3\n"},
        {"face in a mesh without vertices", "OFF 0 1 0 3 0 0 0\n"},
        {"giant counts everywhere", "OFF 2147483647 2147483647 2147483647\n"},
        {"counts the file cannot hold", "OFF\n1000 1000 0\n0 0 0\n1 1 1\n"},
        {"count of a mebibyte of digits", "OFF " + std::string(1 << 20, '7') + " 0 0\n"},
        {"NUL byte inside a vertex", std::string("OFF\n1 0 0\n0 0") + '\0' + "5 0\n"},
        {"NUL byte between records", triangleHead + '\0' + "3 0 1 2\n"},
        {"control bytes and UTF-8 in a number", "OFF\n1 0 0\n\x1b[31m \xe2\x88\x9e 0\n"},
    };
    for (const HostileFile& c : cases) expectFileRefused(c.name, c.contents);
}

TEST_F(Hostile, TruncatedFiles) {
    const std::string mesh = "OFF\n4 2 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n3 0 1 2\n3 0 2 3\n";
    for (std::size_t end : {std::size_t{9}, std::size_t{25}, mesh.size() - 2})
        expectFileRefused("cut after byte " + std::to_string(end), mesh.substr(0, end));
}

TEST_F(Hostile, RandomBinaryData) {
    std::mt19937 random(4);
    std::string bytes(4096, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    expectFileRefused("4096 random bytes", bytes);
    // Random bytes after a plausible header, so the reader gets as far as the
    // records.
    bytes = "OFF\n40 40 0\n";
    for (int i = 0; i < 4096; ++i) bytes += static_cast<char>(random());
    expectFileRefused("random records", bytes);
}

// Real files from other programs that are not in this layout.
TEST_F(Hostile, RealFilesOutsideTheLayout) {
    for (const char* name : {"pmp-beetle.off", "assimp-OutOfMemory.off"}) {
        const std::string path = std::string(TEST_DATA_DIR) + "/" + name;
        expectRefused(name, path + "\n", modelPrefix + path + ":");
    }
}

TEST_F(Hostile, PathsThatAreNotMeshFiles) {
    expectRefused("a directory", std::string(TEST_DATA_DIR) + "\n", modelPrefix + "Couldn't open");
    expectRefused("a missing file", "no/such/mesh.off\n", modelPrefix + "Couldn't open");
    expectRefused("bytes that are not text", "\x01\x7f\xc3\x28.off\n", modelPrefix + "Couldn't open");

    // 300 bytes of path to a real, malformed file: the path is kept whole.
    std::string dir = tempFolder();
    while (dir.size() < 250) {
        dir += std::string(40, 'd') + "/";
        mkdir(dir.c_str(), 0700);
    }
    const std::string longPath = dir + std::string(300 - dir.size() - 4, 'f') + ".off";
    ASSERT_EQ(longPath.size(), 300u);
    const std::string written = writeTempFile(longPath.substr(tempFolder().size()), "OFF 1 0 0 0 0 x\n");
    ASSERT_EQ(written, longPath);
    expectRefused("a path of 300 bytes", longPath + "\n", modelPrefix + longPath + ":1: vertex 0 of 1:");
    expectRefused("a path longer than PATH_MAX", std::string(5000, 'p') + "\n", modelPrefix + "Couldn't open ppp");
    expectRefused("a file name of a mebibyte", std::string(1 << 20, 'n'), modelPrefix + "Couldn't open nnn");

    // Devices: an endless stream of NUL bytes, and an empty one.
    expectRefused("/dev/zero", "/dev/zero\n",
                  modelPrefix + "/dev/zero:1: keyword: expected a keyword, found a NUL byte");
    expectRefused("/dev/null", "/dev/null\n",
                  modelPrefix + "/dev/null:1: keyword: expected a keyword, found end of file");
}

TEST_F(Hostile, StandardInputEndsOrIsClosedAtThePrompt) {
    const std::string noName = "tarvexgl: no file name given";
    expectRefused("standard input at its end", "", noName);
    expectRefused("only white space before the end", " \n\t\n", noName);
    // Descriptor 0 closed altogether: the X connection must not take its
    // place, or X bytes waiting on it would be read as the file name.
    expectRefused("standard input closed", "", noName, true);
}

// Descriptor 1 closed: the X connection must not take its place either, or
// the prompt would be written into it, in the middle of the X protocol.
TEST_F(Hostile, StandardOutputClosedAtTheStart) {
    ViewerRun run;
    run.input = std::string(TEST_DATA_DIR) + "/cgal-cube.off\n";
    run.noStdout = true;
    const ProcessResult r = runViewer(run);
    ASSERT_FALSE(r.stillRunning) << "still running after " << r.seconds << " s; stderr: " << r.err;
    EXPECT_EQ(r.signal, 0) << "stderr: " << r.err;
    EXPECT_EQ(r.exitStatus, 0) << "stderr: " << r.err;
    EXPECT_EQ(r.err, "");
}

// A writer at the other end of a FIFO, in a process of its own: it sends
// `once`, then `repeated` for as long as the FIFO has a reader, then keeps
// the FIFO open until it is killed.
struct FifoWriter {
    std::string path;
    pid_t pid = -1;

    FifoWriter(const std::string& once, const std::string& repeated) {
        path = tempFolder() + "hostile.fifo";
        ::unlink(path.c_str());
        if (::mkfifo(path.c_str(), 0600) != 0) return;
        pid = ::fork();
        if (pid != 0) return;
        std::signal(SIGPIPE, SIG_IGN);
        const int fd = ::open(path.c_str(), O_WRONLY);  // waits for the viewer to open it
        auto send = [fd](const std::string& bytes) {
            for (std::size_t sent = 0; sent < bytes.size();) {
                const ssize_t n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
                if (n <= 0) return false;
                sent += static_cast<std::size_t>(n);
            }
            return true;
        };
        if (send(once))
            while (!repeated.empty() && send(repeated)) continue;
        for (;;) ::pause();
    }
    ~FifoWriter() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
};

// What a stream is read under: without the bound on what it may hold, a
// reader that reads it to its end runs out of memory here rather than after
// taking the machine's.
ViewerRun streamRun(const std::string& path) {
    ViewerRun run;
    run.input = path + "\n";
    if (canLimitAddressSpace()) {
        run.addressSpace = std::uint64_t{1} << 30;
        run.environment = {"LP_NUM_THREADS=1"};  // Mesa's own share of the space, the same on any machine
    }
    return run;
}

std::string repeat(const std::string& text, int times) {
    std::string repeated;
    for (int i = 0; i < times; ++i) repeated += text;
    return repeated;
}

TEST_F(Hostile, EndlessStreamsAreReadOnlyAsFarAsTheMeshGoes) {
    {
        // "yes 0": the first eight bytes are a whole mesh, empty.
        const FifoWriter zeros("", repeat("0\n", 2048));
        expectLoaded("an endless run of zeros", runViewer(streamRun(zeros.path)));
    }
    {
        // "yes OFF": wrong at the second token.
        const FifoWriter words("", repeat("OFF\n", 1024));
        expectRefusal("an endless run of OFF", runViewer(streamRun(words.path)),
                      modelPrefix + words.path + ":2: vertex count: expected an integer, found 'OFF'\n");
    }
    {
        const FifoWriter digits("OFF 1 0 0 ", repeat("7", 4096));
        expectRefusal("an endless run of digits", runViewer(streamRun(digits.path)),
                      modelPrefix + digits.path + ":1: vertex 0 of 1: expected a number, found '777");
    }
}

// The writer keeps the FIFO open after a whole mesh: the load must not wait
// for it to close. If it did, the viewer would never reach the event loop
// that closes its window, and the deadline would find it still running.
TEST_F(Hostile, AStreamThatStaysOpenAfterAWholeMeshLoads) {
    const FifoWriter open(readTextFile(std::string(TEST_DATA_DIR) + "/cgal-cube.off"), "");
    ViewerRun run = streamRun(open.path);
    run.deadline = underWrapper() ? 120 : 30;
    expectLoaded("a FIFO left open", runViewer(run));
}

// A sparse file of 2 GB: a header that announces 300 million vertices, then
// zeros. Only the bytes before its first NUL byte may count as room for the
// records, so it is refused without its tables, and without reading the file
// whole: within an address space far smaller than the file.
TEST_F(Hostile, ASparseFileIsRefusedWithoutItsTables) {
    const std::string path = writeTempFile("sparse.off", "OFF 300000000 0 0\n");
    ASSERT_EQ(::truncate(path.c_str(), std::int64_t{2} << 30), 0);
    ViewerRun run;
    run.input = path + "\n";
    if (canLimitAddressSpace()) {
        run.addressSpace = std::uint64_t{1} << 30;
        run.environment = {"LP_NUM_THREADS=1"};
    }
    const ProcessResult r = runViewer(run);
    ::unlink(path.c_str());
    expectRefusal("sparse file", r,
                  modelPrefix + path + ":2: vertex 0 of 300000000: expected a number, found a NUL byte\n");
}

// A torus of `faces` faces (a multiple of 200), big enough for the load to
// share its work between threads.
std::string torusText(int faces) {
    const int around = 100, along = faces / 200;
    std::string text = "OFF\n" + std::to_string(around * along) + " " + std::to_string(faces) + " 0\n";
    char line[96];
    for (int i = 0; i < along; ++i)
        for (int j = 0; j < around; ++j) {
            const double u = 2 * M_PI * i / along, v = 2 * M_PI * j / around;
            std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", (6 + 2 * std::cos(v)) * std::cos(u),
                          (6 + 2 * std::cos(v)) * std::sin(u), 2 * std::sin(v));
            text += line;
        }
    for (int i = 0; i < along; ++i)
        for (int j = 0; j < around; ++j) {
            const int a = i * around + j, b = i * around + (j + 1) % around;
            const int c = (i + 1) % along * around + (j + 1) % around, d = (i + 1) % along * around + j;
            std::snprintf(line, sizeof line, "3 %d %d %d\n3 %d %d %d\n", a, b, c, a, c, d);
            text += line;
        }
    return text;
}

const std::string& bigTorus() {
    static const std::string path = writeTempFile("torus-100k.off", torusText(100000));
    return path;
}

// No thread can be started (a process limit reached): the load goes on, on
// the one thread it has.
TEST_F(Hostile, ALoadWithoutExtraThreadsStillLoads) {
    ViewerRun run;
    run.input = bigTorus() + "\n";
    std::string sanitizerOptions = "ASAN_OPTIONS=verify_asan_link_order=0";
    if (const char* options = std::getenv("ASAN_OPTIONS")) sanitizerOptions += std::string(":") + options;
    // Mesa's renderer starts no threads of its own either.
    run.environment = {std::string("LD_PRELOAD=") + FAIL_THREAD_START, "LP_NUM_THREADS=0", sanitizerOptions};
    expectLoaded("no threads", runViewer(run));
}

// Address-space limits across the band just above what the load needs:
// below it the tables or a thread's stack cannot be had, above it the mesh
// loads. Every limit must give one or the other, never an abort. The band is
// found first: the least limit that loads, to within a mebibyte.
TEST_F(Hostile, EveryAddressSpaceLimitGivesTheLineOrTheMesh) {
    if (!canLimitAddressSpace()) GTEST_SKIP() << "RLIMIT_AS does not work under ASan or valgrind";
    ViewerRun run;
    run.input = bigTorus() + "\n";
    run.environment = {"LP_NUM_THREADS=1"};
    constexpr std::uint64_t mebibyte = 1 << 20;
    auto runWithin = [&run](std::uint64_t limit) {
        run.addressSpace = limit;
        return runViewer(run);
    };
    std::uint64_t low = 64 * mebibyte, high = 4096 * mebibyte;  // does not load, loads
    ASSERT_EQ(runWithin(high).exitStatus, 0);
    while (high - low > mebibyte) {
        const std::uint64_t middle = (low + high) / 2;
        (runWithin(middle).exitStatus == 0 ? high : low) = middle;
    }
    int refused = 0, loaded = 0;
    for (std::uint64_t limit = high - 96 * mebibyte; limit <= high + 32 * mebibyte; limit += 2 * mebibyte) {
        const ProcessResult r = runWithin(limit);
        if (r.out != prompt) continue;  // the window could not even be set up: not the load's to answer
        const std::string name = std::to_string(limit / mebibyte) + " MiB";
        if (r.exitStatus == 0) {
            expectLoaded(name, r);
            ++loaded;
        } else {
            expectRefusal(name, r, modelPrefix + bigTorus() + ": not enough memory");
            ++refused;
        }
    }
    std::printf("[ band     ] loads from %llu MiB; %d limits refused, %d loaded\n",
                static_cast<unsigned long long>(high / mebibyte), refused, loaded);
    EXPECT_GT(refused, 10);
    EXPECT_GT(loaded, 10);
}

}  // namespace
