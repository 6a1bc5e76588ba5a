// sweepwise_scan_bench: times the product's walk against GNU find and a minimal walk of its own.
// A plain program rather than Google Benchmark: each measurement is one walk of seconds, the
// methods must take turns on the same warm tree, and the result is a comparison (ratios, row
// checks) that the framework's reports do not give.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "find_arguments.h"
#include "floor_walk.h"
#include "junk_names.h"
#include "junklist/junk_list.h"
#include "manifest.h"
#include "platform/ui_services.h"
#include "scan/folder_scan.h"
#include "scan/scan_state.h"
#include "scan/scan_view.h"

namespace sweepwise::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultRuns = 5;
constexpr std::size_t kShownDifferences = 10;
// Gaps between pump calls are counted from this length on; a 60 Hz frame is 16 ms, so only the
// longest ones come near a visible stutter.
constexpr auto kSlowGap = std::chrono::milliseconds(1);

enum class Method { Walk, Find, Floor, FloorStatAll };
constexpr Method kMethods[] = {Method::Walk, Method::Find, Method::Floor, Method::FloorStatAll};

const char* methodName(Method method) {
    switch (method) {
        case Method::Walk:
            return "walk";
        case Method::Find:
            return "find";
        case Method::Floor:
            return "floor";
        case Method::FloorStatAll:
            return "floor-stat-all";
    }
    return "?";
}

const char* modeName(bool drive) {
    return drive ? "drive" : "folder";
}

struct Options {
    std::string root;  // ends with "/"
    std::string find = "find";
    int runs = kDefaultRuns;
};

struct Sample {
    double wallMs = 0;
    double cpuMs = 0;
    std::int64_t rows = 0;
    std::int64_t bytes = 0;
    std::int64_t pumpCalls = 0;
    double longestGapMs = 0;
    std::int64_t slowGaps = 0;
    std::int64_t statusTexts = 0;
    std::int64_t countTexts = 0;
};

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "\nsweepwise_scan_bench: FAILED: %s\n", what.c_str());
    std::exit(1);
}

double threadCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Paths are bytes on disk, not necessarily UTF-8: show anything unprintable as \xNN.
std::string printable(std::string_view path) {
    std::string out;
    for (const unsigned char c : path) {
        if (c >= 0x20 && c < 0x7f) {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

// What the window's label will do: keep a copy of each text.
class CopyingView final : public ScanView {
public:
    void setStatusText(std::string_view text) override {
        m_status.assign(text);
        ++m_statusTexts;
    }
    void setCountText(std::string_view text) override {
        m_count.assign(text);
        ++m_countTexts;
    }
    void reset() { m_statusTexts = m_countTexts = 0; }
    const std::string& status() const { return m_status; }
    std::int64_t statusTexts() const { return m_statusTexts; }
    std::int64_t countTexts() const { return m_countTexts; }

private:
    std::string m_status;
    std::string m_count;
    std::int64_t m_statusTexts = 0;
    std::int64_t m_countTexts = 0;
};

// What the real pump does when no event is pending: it is due once 5 ms have passed since events
// last ran, and a walk asks at every pump point. The gaps between those questions are how long
// the window could stay frozen beyond the interval.
class TimingUi final : public platform::UiServices {
public:
    static constexpr auto kInterval = std::chrono::milliseconds(5);

    explicit TimingUi(const CopyingView& view) : m_view(view) {}

    bool eventsDue() const override {
        const auto now = Clock::now();
        if (m_calls++ > 0) {
            const auto gap = now - m_last;
            m_slowGaps += gap >= kSlowGap ? 1 : 0;
            if (gap > m_longest) {
                m_longest = gap;
                m_longestAfter = m_view.status();  // a copy, but rare once the walk is going
                m_longestAtRow = m_view.countTexts();
            }
        }
        m_last = now;
        return now - m_lastEvents >= kInterval;
    }
    void pump() override {
        m_lastEvents = Clock::now();
        ++m_pumps;
    }
    int messageBox(std::string_view, int, std::string_view) override { return platform::kAnswerOk; }
    [[noreturn]] void endProgram() override { die("the scan asked to end the program"); }

    void reset() {
        m_calls = m_slowGaps = m_longestAtRow = m_pumps = 0;
        m_lastEvents = Clock::now();
        m_longest = {};
        m_longestAfter.clear();
    }
    std::int64_t calls() const { return m_calls; }
    double longestGapMs() const {
        return std::chrono::duration<double, std::milli>(m_longest).count();
    }
    std::int64_t slowGaps() const { return m_slowGaps; }
    const std::string& longestAfter() const { return m_longestAfter; }
    std::int64_t longestAtRow() const { return m_longestAtRow; }

private:
    const CopyingView& m_view;
    mutable std::int64_t m_calls = 0;
    mutable Clock::time_point m_last;
    mutable Clock::duration m_longest{};
    mutable std::int64_t m_slowGaps = 0;
    // Where the longest gap began: the status text then and the rows recorded so far.
    mutable std::string m_longestAfter;
    mutable std::int64_t m_longestAtRow = 0;
    Clock::time_point m_lastEvents;
    std::int64_t m_pumps = 0;
};

struct WalkProbe {
    CopyingView view;
    TimingUi ui{view};
    std::string longestAfter[2];  // indexed by drive mode, over the timed runs
    std::int64_t longestAtRow[2] = {0, 0};
    double longestGapMs[2] = {0, 0};
};

Sample runWalk(const Options& options, bool drive, WalkProbe& probe,
               std::vector<std::string>* paths = nullptr) {
    // Fresh state and list per run; they are freed after the clock stops.
    auto state = std::make_unique<ScanState>();
    auto junk = std::make_unique<JunkList>();
    state->DriveScanMode = drive;
    FolderScan scan(*state, *junk, probe.view, probe.ui);
    probe.ui.reset();
    probe.view.reset();

    const double cpuStart = threadCpuMs();
    const auto start = Clock::now();
    scan.StartSearch(options.root, "*.*");
    Sample sample;
    sample.wallMs = msSince(start);
    sample.cpuMs = threadCpuMs() - cpuStart;

    sample.rows = junk->count();
    sample.bytes = state->JunkBytes;
    sample.pumpCalls = probe.ui.calls();
    sample.longestGapMs = probe.ui.longestGapMs();
    sample.slowGaps = probe.ui.slowGaps();
    sample.statusTexts = probe.view.statusTexts();
    sample.countTexts = probe.view.countTexts();

    std::int64_t listed = 0;
    for (int i = 1; i <= junk->count(); ++i) {
        listed += junk->size(i);
        if (paths != nullptr) {
            paths->emplace_back(junk->path(i));
        }
    }
    if (listed != sample.bytes) {
        die(std::string("walk in ") + modeName(drive) + " mode: the rows' sizes add up to " +
            std::to_string(listed) + " but JunkBytes is " + std::to_string(sample.bytes));
    }
    return sample;
}

// Reads find's "SIZE PATH\0" records.
class FindOutput {
public:
    explicit FindOutput(std::vector<std::string>* paths) : m_paths(paths) {}

    void feed(const char* data, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            const char c = data[i];
            if (m_inSize) {
                if (c >= '0' && c <= '9') {
                    m_size = m_size * 10 + (c - '0');
                } else if (c == ' ') {
                    m_inSize = false;
                } else {
                    die("find printed a record that does not start with a size");
                }
            } else if (c == '\0') {
                ++rows;
                bytes += m_size;
                if (m_paths != nullptr) {
                    m_paths->push_back(m_path);
                }
                m_path.clear();
                m_size = 0;
                m_inSize = true;
            } else if (m_paths != nullptr) {
                m_path.push_back(c);
            }
        }
    }
    bool complete() const { return m_inSize && m_size == 0; }

    std::int64_t rows = 0;
    std::int64_t bytes = 0;

private:
    std::vector<std::string>* m_paths;
    std::string m_path;
    std::int64_t m_size = 0;
    bool m_inSize = true;
};

// Runs find as a child, no shell in between. Timed runs write to /dev/null; the counting run
// writes to a pipe this process reads.
Sample runFind(const Options& options, bool drive, bool counting,
               std::vector<std::string>* paths = nullptr) {
    const std::vector<std::string> args = findArguments(options.find, options.root, drive);
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    // The C locale makes "*" match names that are not valid UTF-8 byte by byte.
    std::string pathVariable = "PATH=";
    if (const char* path = std::getenv("PATH")) {
        pathVariable += path;
    }
    std::string locale = "LC_ALL=C";
    char* envp[] = {locale.data(), pathVariable.data(), nullptr};

    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (counting) {
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
            die(std::string("pipe: ") + std::strerror(errno));
        }
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }

    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        die("cannot start " + options.find + ": " + std::strerror(spawned));
    }
    FindOutput output(paths);
    if (counting) {
        ::close(pipeFds[1]);
        std::vector<char> buffer(1 << 16);
        for (;;) {
            const ssize_t n = ::read(pipeFds[0], buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            output.feed(buffer.data(), static_cast<std::size_t>(n));
        }
        ::close(pipeFds[0]);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            die(std::string("wait for find: ") + std::strerror(errno));
        }
    }
    Sample sample;
    sample.wallMs = msSince(start);
    sample.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                   (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        die(std::string("find in ") + modeName(drive) + " mode did not succeed (status " +
            std::to_string(status) + ")");
    }
    if (counting) {
        if (!output.complete()) {
            die("find's output ended inside a record");
        }
        sample.rows = output.rows;
        sample.bytes = output.bytes;
    }
    return sample;
}

Sample runFloor(const Options& options, bool drive, bool statAll,
                std::vector<std::string>* paths = nullptr) {
    FloorWalk floor(drive, statAll, paths);
    const double cpuStart = threadCpuMs();
    const auto start = Clock::now();
    const FloorWalk::Found found = floor.run(options.root);
    Sample sample;
    sample.wallMs = msSince(start);
    sample.cpuMs = threadCpuMs() - cpuStart;
    if (!found.opened) {
        die("cannot open " + options.root);
    }
    sample.rows = found.rows;
    sample.bytes = found.bytes;
    return sample;
}

void showDifference(const char* label, std::vector<std::string>& have,
                    std::vector<std::string>& lack) {
    std::vector<std::string> extra;
    std::set_difference(have.begin(), have.end(), lack.begin(), lack.end(),
                        std::back_inserter(extra));
    std::fprintf(stderr, "  %zu %s\n", extra.size(), label);
    for (std::size_t i = 0; i < extra.size() && i < kShownDifferences; ++i) {
        std::fprintf(stderr, "    %s\n", printable(extra[i]).c_str());
    }
}

// Lists the rows the three walks disagree on before failing.
[[noreturn]] void explainMismatch(const Options& options, bool drive, const std::string& what) {
    std::fprintf(stderr, "\nMISMATCH in %s mode: %s\n", modeName(drive), what.c_str());
    WalkProbe probe;
    std::vector<std::string> walkPaths, findPaths, floorPaths;
    runWalk(options, drive, probe, &walkPaths);
    runFind(options, drive, true, &findPaths);
    runFloor(options, drive, false, &floorPaths);
    for (auto* paths : {&walkPaths, &findPaths, &floorPaths}) {
        std::sort(paths->begin(), paths->end());
    }
    showDifference("rows of the walk that find does not print:", walkPaths, findPaths);
    showDifference("paths find prints that the walk does not list:", findPaths, walkPaths);
    showDifference("rows of the walk that the floor does not find:", walkPaths, floorPaths);
    showDifference("paths the floor finds that the walk does not list:", floorPaths, walkPaths);
    die(std::string("the walks disagree in ") + modeName(drive) + " mode");
}

void check(const Options& options, bool drive, Method method, const Sample& sample,
           const Manifest& reference) {
    if (sample.rows != reference.rows[drive] || sample.bytes != reference.bytes[drive]) {
        explainMismatch(options, drive,
                        std::string(methodName(method)) + " found " + std::to_string(sample.rows) +
                            " files of " + std::to_string(sample.bytes) + " bytes, expected " +
                            std::to_string(reference.rows[drive]) + " files of " +
                            std::to_string(reference.bytes[drive]) + " bytes");
    }
}

Manifest readCompleteManifest(const std::string& root) {
    Manifest manifest;
    std::string path;
    if (!readManifest(root, manifest, path)) {
        die(root + " was not made by sweepwise_make_tree (no " + path +
            "); the benchmark only walks generated trees");
    }
    for (int mode = 0; mode < 2; ++mode) {
        if (manifest.rows[mode] < 0 || manifest.bytes[mode] < 0) {
            die(path + " is incomplete");
        }
    }
    return manifest;
}

Sample runMethod(const Options& options, bool drive, Method method, WalkProbe& probe,
                 bool counting) {
    switch (method) {
        case Method::Walk:
            return runWalk(options, drive, probe);
        case Method::Find:
            return runFind(options, drive, counting);
        case Method::Floor:
            return runFloor(options, drive, false);
        case Method::FloorStatAll:
            return runFloor(options, drive, true);
    }
    return {};
}

struct Summary {
    double medianMs = 0;
    double minMs = 0;
    double medianCpuMs = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Summary summarise(const std::vector<Sample>& samples) {
    std::vector<double> wall, cpu;
    for (const Sample& s : samples) {
        wall.push_back(s.wallMs);
        cpu.push_back(s.cpuMs);
    }
    return {median(wall), *std::min_element(wall.begin(), wall.end()), median(cpu)};
}

void usage() {
    std::fprintf(stderr,
                 "usage: sweepwise_scan_bench [--runs N] [--find PROGRAM] TREE\n"
                 "  TREE must have been made by sweepwise_make_tree; default %d timed runs\n",
                 kDefaultRuns);
    std::exit(2);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            const std::string_view text = argv[++i];
            const auto [ptr, ec] =
                std::from_chars(text.data(), text.data() + text.size(), options.runs);
            if (ec != std::errc() || ptr != text.data() + text.size() || options.runs < 1) {
                usage();
            }
        } else if (arg == "--find" && i + 1 < argc) {
            options.find = argv[++i];
        } else if (!arg.starts_with("-") && options.root.empty()) {
            options.root = arg;
        } else {
            usage();
        }
    }
    if (options.root.empty()) {
        usage();
    }
    if (options.root.back() != '/') {
        options.root.push_back('/');
    }
    return options;
}

int run(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    const Manifest expected = readCompleteManifest(options.root);
    WalkProbe probe;
    std::map<std::pair<bool, Method>, std::vector<Sample>> samples;
    const bool modes[] = {true, false};

    std::printf("tree %s, %d timed runs of each after one untimed warm-up pass\n",
                options.root.c_str(), options.runs);
    std::fflush(stdout);
    // The warm-up pass fills the inode and dentry caches and holds the one run of find that is
    // counted, since timed runs of find write to /dev/null. find's answer is the reference.
    Manifest reference;
    for (const bool drive : modes) {
        const Sample found = runFind(options, drive, true);
        reference.rows[drive] = found.rows;
        reference.bytes[drive] = found.bytes;
        for (const Method method : {Method::Walk, Method::Floor, Method::FloorStatAll}) {
            check(options, drive, method, runMethod(options, drive, method, probe, true),
                  reference);
        }
        if (found.rows != expected.rows[drive] || found.bytes != expected.bytes[drive]) {
            die(std::string("in ") + modeName(drive) + " mode all walks found " +
                std::to_string(found.rows) + " files of " + std::to_string(found.bytes) +
                " bytes, but the tree's manifest says " + std::to_string(expected.rows[drive]) +
                " files of " + std::to_string(expected.bytes[drive]) + " bytes");
        }
    }
    // Methods take turns within each run, so a drift in the machine's speed hits all alike.
    for (int run = 0; run < options.runs; ++run) {
        for (const bool drive : modes) {
            for (const Method method : kMethods) {
                Sample sample = runMethod(options, drive, method, probe, false);
                if (method == Method::Walk && sample.longestGapMs > probe.longestGapMs[drive]) {
                    probe.longestGapMs[drive] = sample.longestGapMs;
                    probe.longestAfter[drive] = probe.ui.longestAfter();
                    probe.longestAtRow[drive] = probe.ui.longestAtRow();
                }
                if (method != Method::Find) {
                    check(options, drive, method, sample, reference);
                }
                samples[{drive, method}].push_back(sample);
            }
        }
    }

    std::printf("\n%-7s %-15s %10s %10s %10s %9s %12s\n", "mode", "method", "median ms", "min ms",
                "cpu ms", "rows", "rows/s");
    std::map<std::pair<bool, Method>, Summary> summaries;
    for (const bool drive : modes) {
        for (const Method method : kMethods) {
            const Summary s = summarise(samples[{drive, method}]);
            summaries[{drive, method}] = s;
            const double rows = static_cast<double>(expected.rows[drive]);
            std::printf("%-7s %-15s %10.1f %10.1f %10.1f %9lld %12.0f\n", modeName(drive),
                        methodName(method), s.medianMs, s.minMs, s.medianCpuMs,
                        static_cast<long long>(expected.rows[drive]), rows / s.medianMs * 1e3);
        }
    }
    std::printf("\nratios of medians   walk/find  walk/floor  walk/floor-stat-all\n");
    for (const bool drive : modes) {
        const double walk = summaries[{drive, Method::Walk}].medianMs;
        std::printf("  %-17s %9.2f %11.2f %20.2f\n", modeName(drive),
                    walk / summaries[{drive, Method::Find}].medianMs,
                    walk / summaries[{drive, Method::Floor}].medianMs,
                    walk / summaries[{drive, Method::FloorStatAll}].medianMs);
    }
    std::printf(
        "\nthe walk's calls  pump points/run  status texts  count texts  gaps >= 1 ms  "
        "longest gap ms (median, max)\n");
    for (const bool drive : modes) {
        const std::vector<Sample>& walks = samples[{drive, Method::Walk}];
        std::vector<double> gaps, slowGaps;
        for (const Sample& s : walks) {
            gaps.push_back(s.longestGapMs);
            slowGaps.push_back(static_cast<double>(s.slowGaps));
        }
        std::printf("  %-15s %11lld %13lld %12lld %13.0f %10.2f, %.2f\n", modeName(drive),
                    static_cast<long long>(walks.front().pumpCalls),
                    static_cast<long long>(walks.front().statusTexts),
                    static_cast<long long>(walks.front().countTexts), median(slowGaps),
                    median(gaps), *std::max_element(gaps.begin(), gaps.end()));
    }
    // The drive-mode status ends with the path examined last before the gap.
    for (const bool drive : modes) {
        const std::string& status = probe.longestAfter[drive];
        const std::size_t pathStart = std::min(status.find('/'), status.size());
        std::printf("  %s mode's longest gap came after row %lld%s%s\n", modeName(drive),
                    static_cast<long long>(probe.longestAtRow[drive]), drive ? ", examining " : "",
                    drive ? printable(std::string_view(status).substr(pathStart)).c_str() : "");
    }
    std::printf(
        "\nall walks agree: drive mode %lld files (%lld bytes), folder mode %lld files "
        "(%lld bytes)\n",
        static_cast<long long>(expected.rows[1]), static_cast<long long>(expected.bytes[1]),
        static_cast<long long>(expected.rows[0]), static_cast<long long>(expected.bytes[0]));
    return 0;
}

}  // namespace
}  // namespace sweepwise::bench

int main(int argc, char** argv) {
    return sweepwise::bench::run(argc, argv);
}
