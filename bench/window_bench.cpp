// sweepwise_window_bench: times scans through the real main window, offscreen, with the real
// Qt pump and the junk list live, on trees made by sweepwise_make_tree.
//
//   sweepwise_window_bench [--runs N] [--rows-runs N] [--find PROGRAM] [--fd PROGRAM]
//                          [--bleachbit SCRIPT] [--drive TREE] [--folder TREE] [--rows TREE]
//                          [--results FILE]
//
// --drive TREE: a drive-mode scan of TREE (as the only fixed drive), N timed runs (default 5)
//   after one untimed warm-up, taking turns with the floor walk (one thread, stat only what
//   the names leave in the running), GNU find with the same predicates and fd when given;
//   also the gaps between the pump's real event runs.
// --folder TREE: the same for a folder-mode quick scan of TREE (as the temporary folder), and
//   BleachBit's preview of it when the script that runs it (bench/bleachbit_preview.sh) is
//   given.
// --rows TREE: a folder-mode quick scan of TREE (as the temporary folder) in a fresh child
//   process per run (default 1), for the time and the peak resident memory per row.
// --cold: empties the kernel's caches before every timed walk (root only).
// --results FILE: the medians and memory figures as key=value lines, for bench/plot.py.
// Any of them; the --rows runs go first, while this process is still small, and
// bench/window_run.sh makes the trees. The child mode, handy under perf, is
//   sweepwise_window_bench --child-rows TREE [--hidden]
// and prints key=value lines; --hidden leaves the window unshown, to tell the view's share.
// QT_QPA_PLATFORM defaults to offscreen here.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/fonts.h"
#include "app/main_window.h"
#include "app/qt_ui_services.h"
#include "find_arguments.h"
#include "floor_walk.h"
#include "junk_names.h"
#include "manifest.h"
#include "platform/system.h"

namespace sweepwise::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultRuns = 5;
constexpr int kDefaultRowsRuns = 1;
constexpr int kTenths = 10;
constexpr std::int64_t kWantedRows = 1'000'000;

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "\nsweepwise_window_bench: FAILED: %s\n", what.c_str());
    std::exit(1);
}

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// By value: the callers keep their samples in run order.
double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Nearest rank: the smallest value that at least the given share of the values do not exceed.
double percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(share * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

// Roots end with "/", as the window's locators give them.
std::string withSlash(std::string path) {
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    return path;
}

// One pump that let events run: when the hook began, the rows then, and how long the window's
// publish() and Qt's event processing took.
struct PumpRecord {
    Clock::time_point start;
    int rows = 0;
    float publishMs = 0;
    float eventsMs = 0;
};

// The before-events hook: it times the window's publish() and, through the clock the pump reads
// next, Qt's event processing. Records are kept in memory and summarised after the scan.
class PumpProbe {
public:
    // Enough for a few minutes of pumps, so the vector grows rarely during a scan.
    PumpProbe() { m_records.reserve(1 << 16); }

    // The refresh, when it is due, comes right before the events are let through.
    void refresh(Frm1& window, bool lists) {
        const auto start = Clock::now();
        window.publish(lists);
        m_publishMs = static_cast<float>(msBetween(start, Clock::now()));
    }

    void beforeEvents(Frm1& window) {
        PumpRecord record;
        record.start = Clock::now();
        record.rows = window.junkList().count();
        record.publishMs = m_publishMs;
        m_publishMs = 0;
        m_publishEnd = record.start;
        m_records.push_back(record);
        m_awaitingEventsEnd = true;
    }

    // The pump reads the clock right after processEvents(); nothing else reads it meanwhile.
    void clockRead(Clock::time_point now) {
        if (m_awaitingEventsEnd) {
            m_awaitingEventsEnd = false;
            m_records.back().eventsMs = static_cast<float>(msBetween(m_publishEnd, now));
        }
    }

    void reset() {
        m_records.clear();
        m_awaitingEventsEnd = false;
    }
    const std::vector<PumpRecord>& records() const { return m_records; }

private:
    std::vector<PumpRecord> m_records;
    Clock::time_point m_publishEnd;
    bool m_awaitingEventsEnd = false;
    float m_publishMs = 0;
};

// Every location points at the generated tree or at nothing.
class BenchSystem final : public platform::System {
public:
    std::optional<std::string> temp;
    std::vector<std::string> drives;
    PumpProbe* probe = nullptr;

    // Makes no file: the tree stays as generated, and an empty file would never be junk.
    std::optional<std::string> TemporaryFile(std::string_view) override { return temp; }
    std::optional<std::string> GetWinTemdir() override { return std::nullopt; }
    std::optional<std::string> GetNetTemdir() override { return std::nullopt; }
    std::optional<std::string> GetCookiesDir() override { return std::nullopt; }
    std::vector<std::string> fixedDrives() override { return drives; }
    Clock::time_point now() override {
        const auto now = Clock::now();
        if (probe != nullptr) {
            probe->clockRead(now);
        }
        return now;
    }
    void sleep(int milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

// A window as main.cpp sets one up; the members are declared so the window goes first.
struct Session {
    BenchSystem system;
    QtUiServices ui{system};
    PumpProbe probe;
    std::unique_ptr<Frm1> window;

    Session(std::optional<std::string> temp, std::vector<std::string> drives) {
        system.temp = std::move(temp);
        system.drives = std::move(drives);
        window = std::make_unique<Frm1>(system, ui);
        ui.setRefresh([this](bool lists) { probe.refresh(*window, lists); });
        ui.setBeforeEvents([this] { probe.beforeEvents(*window); });
        system.probe = &probe;
    }
    ~Session() {
        ui.setRefresh({});
        ui.setBeforeEvents({});
        window.reset();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void show() {
        window->show();
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (window->windowHandle() == nullptr || !window->windowHandle()->isExposed()) {
            if (Clock::now() > deadline) {
                die("the window was never exposed");
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        // The first paint happens here, not inside the timed click.
        QCoreApplication::processEvents();
    }

    // The time from the click to its return, which is the end of the whole scan.
    double scan() {
        probe.reset();
        if (!window->Cmdsc->isEnabled()) {
            die("the Start button is disabled");
        }
        const auto start = Clock::now();
        window->Cmdsc->click();
        const double ms = msBetween(start, Clock::now());
        if (window->scanState().SearchRunning) {
            die("the click returned while a search was still running");
        }
        return ms;
    }

    // The view must end up with every row of the store once the last changes are shown.
    void checkViewRows() {
        window->publish();
        QCoreApplication::processEvents();
        const int shown = window->Lm->model()->rowCount();
        if (shown != window->junkList().count()) {
            die("the list view shows " + std::to_string(shown) + " rows, the store holds " +
                std::to_string(window->junkList().count()));
        }
    }
};

// click() on a disabled button does nothing, which would leave the options silently wrong.
void click(QAbstractButton* button) {
    if (!button->isEnabled()) {
        die(button->objectName().toStdString() + " is disabled");
    }
    button->click();
}

// Custom scan of the ticked drives only.
void chooseDriveScan(Frm1& window, const std::string& root) {
    click(window.Op2);
    for (QCheckBox* box : {window.Ch1, window.Ch2, window.Ch3}) {
        click(box);
    }
    const bool unticked = window.Ch1->checkState() == Qt::Unchecked &&
                          window.Ch2->checkState() == Qt::Unchecked &&
                          window.Ch3->checkState() == Qt::Unchecked;
    if (!window.Op2->isChecked() || !unticked || window.ch4->checkState() != Qt::Checked) {
        die("the options are not custom scan with only the drives ticked");
    }
    if (window.ListD->count() != 1 || window.ListD->item(0)->checkState() != Qt::Checked ||
        window.ListD->item(0)->text().toStdString() != root) {
        die("the drive list is not the tree alone, ticked");
    }
}

struct GapStats {
    std::int64_t pumps = 0;
    double longestMs = 0;
    double p99Ms = 0;
    double publishMs = 0;  // totals over the scan
    double eventsMs = 0;
    // The longest gap split: the pump that began it, then the walk until the next one.
    double longestPublishMs = 0;
    double longestEventsMs = 0;
    int longestAtRow = 0;
};

// A gap runs from one hook call to the next: the window is frozen for all of it but the events.
GapStats gapStats(const std::vector<PumpRecord>& records) {
    GapStats stats;
    stats.pumps = static_cast<std::int64_t>(records.size());
    std::vector<double> gaps;
    gaps.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        stats.publishMs += records[i].publishMs;
        stats.eventsMs += records[i].eventsMs;
        if (i > 0) {
            gaps.push_back(msBetween(records[i - 1].start, records[i].start));
            if (gaps.back() > stats.longestMs) {
                stats.longestMs = gaps.back();
                stats.longestPublishMs = records[i - 1].publishMs;
                stats.longestEventsMs = records[i - 1].eventsMs;
                stats.longestAtRow = records[i - 1].rows;
            }
        }
    }
    stats.p99Ms = percentile(gaps, 0.99);
    return stats;
}

void printLongestGap(const char* where, const GapStats& gaps) {
    std::printf(
        "%s longest gap %.2f ms, after row %d: publish %.2f + events %.2f + walk %.2f ms"
        "\n  (the walk part includes the pump's 5 ms wait)\n",
        where, gaps.longestMs, gaps.longestAtRow, gaps.longestPublishMs, gaps.longestEventsMs,
        gaps.longestMs - gaps.longestPublishMs - gaps.longestEventsMs);
}

// The pumps grouped by how many rows the list held, in tenths of the final count: a cost that
// grows with the rows shows as a rising publish or events time from tenth to tenth.
struct Tenth {
    std::int64_t pumps = 0;
    double publishMs = 0;
    double eventsMs = 0;
    double gapMs = 0;
    double longestGapMs = 0;
};

std::vector<Tenth> tenths(const std::vector<PumpRecord>& records, int finalRows) {
    std::vector<Tenth> out(kTenths);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto bucket = static_cast<std::size_t>(std::clamp<std::int64_t>(
            std::int64_t(records[i].rows) * kTenths / std::max(finalRows, 1), 0, kTenths - 1));
        Tenth& t = out[bucket];
        ++t.pumps;
        t.publishMs += records[i].publishMs;
        t.eventsMs += records[i].eventsMs;
        if (i + 1 < records.size()) {
            const double gap = msBetween(records[i].start, records[i + 1].start);
            t.gapMs += gap;
            t.longestGapMs = std::max(t.longestGapMs, gap);
        }
    }
    return out;
}

struct Found {
    double ms = 0;
    std::int64_t rows = 0;
    std::int64_t bytes = 0;
};

// Spawns a program with its stdout on /dev/null or on a pipe whose text is returned.
struct Child {
    pid_t pid = 0;
    int out = -1;
};

Child spawn(const std::vector<std::string>& args, char** envp, bool capture) {
    // posix_spawn wants mutable strings; it does not write to them.
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (capture) {
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
            die(std::string("pipe: ") + std::strerror(errno));
        }
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    Child child;
    const int spawned = ::posix_spawnp(&child.pid, argv[0], &actions, nullptr, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        die("cannot start " + args[0] + ": " + std::strerror(spawned));
    }
    if (capture) {
        ::close(pipeFds[1]);
        child.out = pipeFds[0];
    }
    return child;
}

// Hands what the writer sends to the callback, chunk by chunk, until it closes.
template <typename Consume>
void readChunks(int fd, Consume consume) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        consume(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    ::close(fd);
}

// The child's wait status; a signal interrupting the wait does not lose the child.
int waitFor(pid_t pid, const std::string& what) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            die("wait for " + what + ": " + std::strerror(errno));
        }
    }
    return status;
}

// Timed runs write to /dev/null; the counting run reads the "SIZE PATH\0" records.
Found runFind(const std::string& find, const std::string& tree, bool drive, bool counting) {
    // The C locale makes "*" match names that are not valid UTF-8 byte by byte.
    std::string pathVariable = "PATH=";
    if (const char* path = std::getenv("PATH")) {
        pathVariable += path;
    }
    std::string locale = "LC_ALL=C";
    char* envp[] = {locale.data(), pathVariable.data(), nullptr};

    const auto start = Clock::now();
    const Child child = spawn(findArguments(find, tree, drive), envp, counting);
    Found found;
    if (counting) {
        // Read as it comes: a million paths held at once would raise this process's peak,
        // which every child made afterwards would start from.
        std::int64_t size = 0;
        bool inSize = true;
        readChunks(child.out, [&](std::string_view chunk) {
            for (const char c : chunk) {
                if (inSize && c >= '0' && c <= '9') {
                    size = size * 10 + (c - '0');
                } else if (inSize && c == ' ') {
                    inSize = false;
                } else if (inSize) {
                    die("find printed a record that does not start with a size");
                } else if (c == '\0') {
                    ++found.rows;
                    found.bytes += size;
                    size = 0;
                    inSize = true;
                }
            }
        });
        if (!inSize || size != 0) {
            die("find's output ended inside a record");
        }
    }
    const int status = waitFor(child.pid, find);
    found.ms = msBetween(start, Clock::now());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        die("find did not succeed (status " + std::to_string(status) + ")");
    }
    return found;
}

// Only trees the generator made are ever scanned: its manifest must be there.
Manifest readGeneratedManifest(const std::string& root) {
    Manifest manifest;
    std::string path;
    if (!readManifest(root, manifest, path)) {
        die(root + " was not made by sweepwise_make_tree (no " + path +
            "); the benchmark only scans generated trees");
    }
    return manifest;
}

void checkCounts(const char* what, std::int64_t rows, std::int64_t bytes, std::int64_t wantRows,
                 std::int64_t wantBytes, const char* source) {
    if (wantRows >= 0 && (rows != wantRows || (wantBytes >= 0 && bytes != wantBytes))) {
        die(std::string(what) + " found " + std::to_string(rows) + " rows of " +
            std::to_string(bytes) + " bytes, but " + source + " says " + std::to_string(wantRows) +
            " rows of " + std::to_string(wantBytes) + " bytes");
    }
}

// A peer's command line, timed as a whole from spawn to exit with its output on /dev/null.
double timeCommand(const std::vector<std::string>& args) {
    const auto start = Clock::now();
    const Child child = spawn(args, environ, false);
    const int status = waitFor(child.pid, args[0]);
    const double ms = msBetween(start, Clock::now());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        die(args[0] + " did not succeed (status " + std::to_string(status) + ")");
    }
    return ms;
}

// fd's selection as near to the scan's as its options go: it has no pruning of dot-folders
// alone, so it walks them too and finds a few more files (printed beside its time).
std::vector<std::string> fdArguments(const std::string& fd, const std::string& tree, bool drive) {
    std::string endings;
    for (const std::string_view ending : kJunkEndings) {
        for (const char c : ending) {
            endings += c == '$' ? "\\$" : std::string(1, c);
        }
        endings += '|';
    }
    endings += "Thumbs\\.db";
    return {fd,
            "--unrestricted",
            "--one-file-system",
            "--type",
            "f",
            "--size",
            "+1b",
            "--exclude",
            "*index.dat",
            drive ? "(" + endings + ")$" : ".",
            tree};
}

std::int64_t countFdRows(const std::string& fd, const std::string& tree, bool drive) {
    const Child child = spawn(fdArguments(fd, tree, drive), environ, true);
    std::int64_t rows = 0;
    readChunks(child.out, [&](std::string_view chunk) {
        rows += std::count(chunk.begin(), chunk.end(), '\n');
    });
    waitFor(child.pid, fd);
    return rows;
}

// Cold-cache runs empty the page, dentry and inode caches before each timed walk.
void dropCaches() {
    ::sync();
    std::ofstream out("/proc/sys/vm/drop_caches");
    out << "3\n";
    out.flush();
    if (!out) {
        die("cannot write /proc/sys/vm/drop_caches (needs root outside a container)");
    }
}

struct Peers {
    bool cold = false;
    std::string find = "find";
    std::string fd;         // empty: not timed
    std::string bleachbit;  // the preview script; empty: not timed
};

struct CompareRun {
    double windowMs = 0;
    double findMs = 0;
    double floorMs = 0;
    double fdMs = -1;
    double bleachbitMs = -1;
    GapStats gaps;
};

// A fresh window per run: after a scan the Start button stays disabled, as in the program.
// Drive mode scans the tree as the only fixed drive; folder mode as the temporary folder.
CompareRun windowScan(const std::string& tree, bool drive, const Found& reference) {
    Session session(drive ? std::nullopt : std::optional<std::string>(tree),
                    drive ? std::vector<std::string>{tree} : std::vector<std::string>{});
    session.show();
    if (drive) {
        chooseDriveScan(*session.window, tree);
    } else if (!session.window->Op1->isChecked()) {
        die("the quick scan is not selected");
    }
    CompareRun run;
    run.windowMs = session.scan();
    run.gaps = gapStats(session.probe.records());
    const JunkList& junk = session.window->junkList();
    checkCounts("the window's scan", junk.count(), session.window->scanState().JunkBytes,
                reference.rows, reference.bytes, "find");
    session.checkViewRows();
    return run;
}

double timeFloor(const std::string& tree, bool drive, const Found& reference) {
    FloorWalk floor(drive, false, nullptr);
    const auto start = Clock::now();
    const FloorWalk::Found found = floor.run(tree);
    const double ms = msBetween(start, Clock::now());
    checkCounts("the floor walk", found.rows, found.bytes, reference.rows, reference.bytes, "find");
    return ms;
}

struct Figures {
    std::map<std::string, double> values;  // written to the results file
    void set(const std::string& mode, const std::string& key, double value) {
        values[mode + "." + key] = value;
    }
};

// Prints one line per timed run, then the medians and minima: a noisy machine shows as spread.
void runCompare(const std::string& tree, bool drive, const Peers& peers, int runs,
                Figures& figures) {
    const std::string mode = std::string(drive ? "drive" : "folder") + (peers.cold ? "_cold" : "");
    const Manifest manifest = readGeneratedManifest(tree);
    std::printf("%s mode%s: %s, %d timed runs after one untimed warm-up\n",
                drive ? "drive" : "folder", peers.cold ? ", caches dropped before each walk" : "",
                tree.c_str(), runs);
    std::fflush(stdout);
    // The warm-up fills the inode and dentry caches; its find is the one that counts.
    const Found reference = runFind(peers.find, tree, drive, true);
    checkCounts("find", reference.rows, reference.bytes, manifest.rows[drive],
                manifest.bytes[drive], "the manifest");
    windowScan(tree, drive, reference);
    timeFloor(tree, drive, reference);
    const std::int64_t fdRows = peers.fd.empty() ? -1 : countFdRows(peers.fd, tree, drive);
    double bleachbitIdleMs = -1;
    if (!peers.bleachbit.empty()) {
        timeCommand({peers.bleachbit, tree});
        bleachbitIdleMs = timeCommand({peers.bleachbit, "--empty"});
    }

    // They take turns, so a drift in the machine's speed hits all alike.
    std::vector<CompareRun> samples;
    const auto cool = [&] {
        if (peers.cold) {
            dropCaches();
        }
    };
    for (int i = 0; i < runs; ++i) {
        cool();
        CompareRun run = windowScan(tree, drive, reference);
        cool();
        run.findMs = runFind(peers.find, tree, drive, false).ms;
        cool();
        run.floorMs = timeFloor(tree, drive, reference);
        if (!peers.fd.empty()) {
            cool();
            run.fdMs = timeCommand(fdArguments(peers.fd, tree, drive));
        }
        if (!peers.bleachbit.empty()) {
            run.bleachbitMs = timeCommand({peers.bleachbit, tree});
        }
        samples.push_back(run);
    }

    std::printf("%4s %10s %9s %9s %9s %11s %12s %12s %7s %12s %10s %10s %10s\n", "run", "window ms",
                "floor ms", "find ms", "fd ms", "bleachbit", "window/floor", "window/find", "pumps",
                "longest gap", "p99 gap", "publish ms", "events ms");
    std::map<std::string, std::vector<double>> columns;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const CompareRun& s = samples[i];
        std::printf(
            "%4zu %10.1f %9.1f %9.1f %9.1f %11.1f %12.2f %12.2f %7lld %12.2f %10.2f %10.1f "
            "%10.1f\n",
            i + 1, s.windowMs, s.floorMs, s.findMs, s.fdMs, s.bleachbitMs, s.windowMs / s.floorMs,
            s.windowMs / s.findMs, static_cast<long long>(s.gaps.pumps), s.gaps.longestMs,
            s.gaps.p99Ms, s.gaps.publishMs, s.gaps.eventsMs);
        columns["window_ms"].push_back(s.windowMs);
        columns["floor_ms"].push_back(s.floorMs);
        columns["find_ms"].push_back(s.findMs);
        columns["fd_ms"].push_back(s.fdMs);
        columns["bleachbit_ms"].push_back(s.bleachbitMs);
        columns["longest_gap_ms"].push_back(s.gaps.longestMs);
        columns["p99_gap_ms"].push_back(s.gaps.p99Ms);
    }
    std::map<std::string, double> med;
    for (const auto& [key, values] : columns) {
        med[key] = median(values);
        figures.set(mode, key, med[key]);
    }
    figures.set(mode, "rows", double(reference.rows));
    figures.set(
        mode, "max_gap_ms",
        *std::max_element(columns["longest_gap_ms"].begin(), columns["longest_gap_ms"].end()));
    std::printf("%-4s %10.1f %9.1f %9.1f %9.1f %11.1f %12.2f %12.2f %7s %12.2f %10.2f\n", "med",
                med["window_ms"], med["floor_ms"], med["find_ms"], med["fd_ms"],
                med["bleachbit_ms"], med["window_ms"] / med["floor_ms"],
                med["window_ms"] / med["find_ms"], "", med["longest_gap_ms"], med["p99_gap_ms"]);
    std::printf("ratios of medians: window/floor %.2f, window/find %.2f",
                med["window_ms"] / med["floor_ms"], med["window_ms"] / med["find_ms"]);
    if (!peers.fd.empty()) {
        std::printf(", window/fd %.2f", med["window_ms"] / med["fd_ms"]);
    }
    if (!peers.bleachbit.empty()) {
        std::printf(", bleachbit/window %.1f", med["bleachbit_ms"] / med["window_ms"]);
        figures.set(mode, "bleachbit_idle_ms", bleachbitIdleMs);
    }
    std::printf("\nrows: window = floor = find = %lld (%lld bytes)%s",
                static_cast<long long>(reference.rows), static_cast<long long>(reference.bytes),
                manifest.rows[drive] >= 0 ? " = manifest" : "");
    if (fdRows >= 0) {
        std::printf("; fd lists %lld (it walks dot-folders too)", static_cast<long long>(fdRows));
    }
    if (bleachbitIdleMs >= 0) {
        std::printf("\nbleachbit's preview of an empty folder takes %.1f ms (its start-up)",
                    bleachbitIdleMs);
    }
    std::printf("\n");
    const auto worst = std::max_element(samples.begin(), samples.end(), [](auto& a, auto& b) {
        return a.gaps.longestMs < b.gaps.longestMs;
    });
    printLongestGap(("run " + std::to_string(worst - samples.begin() + 1) + "'s").c_str(),
                    worst->gaps);
    std::printf("\n");
}

struct Memory {
    std::int64_t rssKb = -1;
    std::int64_t hwmKb = -1;
};

// VmRSS now and VmHWM, the peak since the start or since the last resetPeak(), in kB.
Memory readMemory() {
    std::ifstream in("/proc/self/status");
    Memory memory;
    std::string line;
    while (std::getline(in, line)) {
        std::int64_t* field = line.starts_with("VmRSS:")   ? &memory.rssKb
                              : line.starts_with("VmHWM:") ? &memory.hwmKb
                                                           : nullptr;
        if (field != nullptr) {
            const auto digits = line.find_first_of("0123456789");
            if (digits != std::string::npos) {
                std::from_chars(line.data() + digits, line.data() + line.size(), *field);
            }
        }
    }
    return memory;
}

std::int64_t maxRssKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Writing 5 to clear_refs sets VmHWM back to the current RSS (Linux 4.0 on).
bool resetPeak() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

// The child's whole work: one quick scan with the tree as the temporary folder, measured from
// just before the click; everything it prints goes to the parent.
int childRows(const std::string& tree, bool hidden) {
    Session session(tree, {});
    if (!hidden) {
        session.show();
    }
    // The quick scan is the default; its other three roots are unknown and skipped.
    if (!session.window->Op1->isChecked()) {
        die("the quick scan is not selected");
    }
    const bool peakReset = resetPeak();
    const Memory before = readMemory();
    const std::int64_t maxRssBefore = maxRssKb();
    const double ms = session.scan();
    const std::int64_t maxRssAfter = maxRssKb();
    const Memory after = readMemory();

    const JunkList& junk = session.window->junkList();
    std::int64_t pathBytes = 0;
    for (int i = 1; i <= junk.count(); ++i) {
        pathBytes += static_cast<std::int64_t>(junk.path(i).size());
    }
    const GapStats gaps = gapStats(session.probe.records());
    std::map<std::string, double> out{
        {"ms", ms},
        {"rows", double(junk.count())},
        {"bytes", double(session.window->scanState().JunkBytes)},
        {"path_bytes", double(pathBytes)},
        {"rss_before_kb", double(before.rssKb)},
        {"hwm_before_kb", double(before.hwmKb)},
        {"hwm_reset", peakReset ? 1 : 0},
        {"maxrss_before_kb", double(maxRssBefore)},
        {"maxrss_kb", double(maxRssAfter)},
        {"hwm_kb", double(after.hwmKb)},
        {"rss_after_kb", double(after.rssKb)},
        {"pumps", double(gaps.pumps)},
        {"longest_gap_ms", gaps.longestMs},
        {"p99_gap_ms", gaps.p99Ms},
        {"longest_publish_ms", gaps.longestPublishMs},
        {"longest_events_ms", gaps.longestEventsMs},
        {"longest_at_row", double(gaps.longestAtRow)},
        {"publish_ms", gaps.publishMs},
        {"events_ms", gaps.eventsMs},
    };
    const std::vector<Tenth> parts = tenths(session.probe.records(), junk.count());
    for (int i = 0; i < kTenths; ++i) {
        const std::string key = "tenth" + std::to_string(i) + ".";
        out[key + "pumps"] = double(parts[i].pumps);
        out[key + "publish_ms"] = parts[i].publishMs;
        out[key + "events_ms"] = parts[i].eventsMs;
        out[key + "gap_ms"] = parts[i].gapMs;
        out[key + "longest_gap_ms"] = parts[i].longestGapMs;
    }
    if (!hidden) {
        session.checkViewRows();
    }
    for (const auto& [key, value] : out) {
        std::printf("%s=%.6f\n", key.c_str(), value);
    }
    std::fflush(stdout);
    // The window and the rows are not torn down: nothing is measured after this.
    std::_Exit(0);
}

// The children run this very binary, so parent and child measure with the same code.
std::string selfPath() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || std::size_t(n) >= path.size()) {
        die("cannot read /proc/self/exe");
    }
    path.resize(static_cast<std::size_t>(n));
    return path;
}

// fork+exec rather than posix_spawn: a vfork child takes over its parent's peak RSS as its own
// ru_maxrss at exec, a forked one only the parent's RSS at the fork.
Child forkSelf(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        die(std::string("pipe: ") + std::strerror(errno));
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        die(std::string("fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull < 0 || ::dup2(devNull, 0) < 0 || ::dup2(pipeFds[1], 1) < 0) {
            ::_exit(127);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    return {pid, pipeFds[0]};
}

// One folder-mode scan in a fresh process; its key=value lines come back through a pipe.
std::map<std::string, double> runRowsChild(const std::string& tree) {
    const Child child = forkSelf({selfPath(), "--child-rows", tree});
    std::string text;
    readChunks(child.out, [&](std::string_view chunk) { text.append(chunk); });
    const int status = waitFor(child.pid, "the folder-mode child");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        die("the folder-mode child did not succeed (status " + std::to_string(status) + ")");
    }
    std::map<std::string, double> values;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line(text.data() + at, end - at);
        const auto eq = line.find('=');
        if (eq != std::string_view::npos) {
            values[std::string(line.substr(0, eq))] = std::strtod(line.data() + eq + 1, nullptr);
        }
        at = end + 1;
    }
    for (const char* key : {"ms", "rows", "rss_before_kb", "maxrss_kb", "hwm_kb"}) {
        if (!values.contains(key)) {
            die(std::string("the folder-mode child gave no ") + key);
        }
    }
    return values;
}

void runRows(const std::string& tree, const std::string& find, int runs, Figures& figures) {
    const Manifest manifest = readGeneratedManifest(tree);
    std::printf("folder mode: %s, %d run(s), each in a fresh process\n", tree.c_str(), runs);
    std::fflush(stdout);
    const Found reference = runFind(find, tree, false, true);
    checkCounts("find in folder mode", reference.rows, reference.bytes, manifest.rows[0],
                manifest.bytes[0], "the manifest");
    if (reference.rows < kWantedRows) {
        std::fprintf(stderr, "warning: the tree gives %lld rows, fewer than %lld\n",
                     static_cast<long long>(reference.rows), static_cast<long long>(kWantedRows));
    }

    std::printf("%4s %9s %9s %10s %7s %12s %9s %11s %11s %12s %12s %12s\n", "run", "rows", "ms",
                "rows/s", "pumps", "longest gap", "p99 gap", "publish ms", "events ms",
                "B/row maxrss", "B/row VmHWM", "B/row kept");
    std::map<std::string, double> last;
    GapStats worst;
    int worstRun = 0;
    for (int i = 0; i < runs; ++i) {
        const std::map<std::string, double> v = runRowsChild(tree);
        if (v.at("longest_gap_ms") > worst.longestMs) {
            worst.longestMs = v.at("longest_gap_ms");
            worst.longestPublishMs = v.at("longest_publish_ms");
            worst.longestEventsMs = v.at("longest_events_ms");
            worst.longestAtRow = int(v.at("longest_at_row"));
            worstRun = i + 1;
        }
        checkCounts("the window's folder-mode scan", std::int64_t(v.at("rows")),
                    std::int64_t(v.at("bytes")), reference.rows, reference.bytes, "find");
        const double rows = v.at("rows");
        const double before = v.at("rss_before_kb") * 1024;
        std::printf(
            "%4d %9.0f %9.1f %10.0f %7.0f %12.2f %9.2f %11.1f %11.1f %12.1f %12.1f %12.1f\n", i + 1,
            rows, v.at("ms"), rows / v.at("ms") * 1e3, v.at("pumps"), v.at("longest_gap_ms"),
            v.at("p99_gap_ms"), v.at("publish_ms"), v.at("events_ms"),
            (v.at("maxrss_kb") * 1024 - before) / rows, (v.at("hwm_kb") * 1024 - before) / rows,
            (v.at("rss_after_kb") * 1024 - before) / rows);
        last = v;
    }
    const double rows = last.at("rows");
    const double pathAverage = last.at("path_bytes") / rows;
    const double before = last.at("rss_before_kb") * 1024;
    std::printf(
        "rows: window = find = %lld%s; average path %.1f bytes; RSS before the click %.1f MiB, "
        "peak %.1f MiB (ru_maxrss; it was %.1f MiB before the click), after %.1f MiB\n",
        static_cast<long long>(reference.rows), manifest.rows[0] >= 0 ? " = manifest" : "",
        pathAverage, before / 1048576, last.at("maxrss_kb") / 1024,
        last.at("maxrss_before_kb") / 1024, last.at("rss_after_kb") / 1024);
    std::printf("peak bytes per row beyond the path: %.1f (ru_maxrss), %.1f (VmHWM%s)\n",
                (last.at("maxrss_kb") * 1024 - before) / rows - pathAverage,
                (last.at("hwm_kb") * 1024 - before) / rows - pathAverage,
                last.at("hwm_reset") > 0 ? ", reset before the click" : ", not reset");
    printLongestGap(("run " + std::to_string(worstRun) + "'s").c_str(), worst);
    figures.set("rows", "rows", rows);
    figures.set("rows", "ms", last.at("ms"));
    figures.set("rows", "path_bytes_per_row", pathAverage);
    figures.set("rows", "beyond_path_bytes_per_row",
                (last.at("maxrss_kb") * 1024 - before) / rows - pathAverage);
    figures.set("rows", "longest_gap_ms", worst.longestMs);

    // Where the time went as the list grew, in the last run.
    std::printf("\nlast run by tenths of the rows: per pump, mean publish, events and gap ms\n");
    std::printf("%6s %7s %11s %11s %9s %15s\n", "rows", "pumps", "publish", "events", "gap",
                "longest gap");
    for (int i = 0; i < kTenths; ++i) {
        const std::string key = "tenth" + std::to_string(i) + ".";
        const double pumps = std::max(last[key + "pumps"], 1.0);
        std::printf("%3d0%% %8.0f %11.3f %11.3f %9.3f %15.2f\n", i, last[key + "pumps"],
                    last[key + "publish_ms"] / pumps, last[key + "events_ms"] / pumps,
                    last[key + "gap_ms"] / pumps, last[key + "longest_gap_ms"]);
    }
    std::printf("\n");
}

struct Options {
    std::string driveTree;
    std::string folderTree;
    std::string rowsTree;
    std::string results;
    Peers peers;
    std::string childTree;
    bool hidden = false;
    int runs = kDefaultRuns;
    int rowsRuns = kDefaultRowsRuns;
};

void usage() {
    std::fprintf(stderr,
                 "usage: sweepwise_window_bench [--runs N] [--rows-runs N] [--find PROGRAM]\n"
                 "                              [--fd PROGRAM] [--bleachbit SCRIPT]\n"
                 "                              [--drive TREE] [--folder TREE] [--rows TREE]\n"
                 "                              [--cold] [--results FILE]\n"
                 "       sweepwise_window_bench --child-rows TREE [--hidden]\n"
                 "  TREE must have been made by sweepwise_make_tree; defaults: %d drive-mode runs,"
                 " %d folder-mode run\n",
                 kDefaultRuns, kDefaultRowsRuns);
    std::exit(2);
}

int parseRuns(const char* text) {
    int value = 0;
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || ptr != end || value < 1) {
        usage();
    }
    return value;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--runs" && hasValue) {
            options.runs = parseRuns(argv[++i]);
        } else if (arg == "--rows-runs" && hasValue) {
            options.rowsRuns = parseRuns(argv[++i]);
        } else if (arg == "--find" && hasValue) {
            options.peers.find = argv[++i];
        } else if (arg == "--fd" && hasValue) {
            options.peers.fd = argv[++i];
        } else if (arg == "--bleachbit" && hasValue) {
            options.peers.bleachbit = argv[++i];
        } else if (arg == "--cold") {
            options.peers.cold = true;
        } else if (arg == "--folder" && hasValue) {
            options.folderTree = withSlash(argv[++i]);
        } else if (arg == "--results" && hasValue) {
            options.results = argv[++i];
        } else if (arg == "--drive" && hasValue) {
            options.driveTree = withSlash(argv[++i]);
        } else if (arg == "--rows" && hasValue) {
            options.rowsTree = withSlash(argv[++i]);
        } else if (arg == "--child-rows" && hasValue) {
            options.childTree = withSlash(argv[++i]);
        } else if (arg == "--hidden") {
            options.hidden = true;
        } else {
            usage();
        }
    }
    if (options.driveTree.empty() && options.folderTree.empty() && options.rowsTree.empty() &&
        options.childTree.empty()) {
        usage();
    }
    return options;
}

// The offscreen platform warns at every setFixedSize(); everything else still gets through.
QtMessageHandler g_qtHandler = nullptr;

void quieterQt(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message != QStringLiteral("This plugin does not support propagateSizeHints()")) {
        g_qtHandler(type, context, message);
    }
}

int run(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    g_qtHandler = qInstallMessageHandler(quieterQt);
    // Never a window on the desktop unless asked for; the child inherits the choice.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!options.childTree.empty()) {
        readGeneratedManifest(options.childTree);
        QApplication app(argc, argv);
        setUpFonts();
        return childRows(options.childTree, options.hidden);
    }
    std::printf("Qt %s, QT_QPA_PLATFORM=%s\n", qVersion(), std::getenv("QT_QPA_PLATFORM"));
    Figures figures;
    // The folder-mode children first, while this process is small and has no Qt yet.
    if (!options.rowsTree.empty()) {
        runRows(options.rowsTree, options.peers.find, options.rowsRuns, figures);
    }
    if (!options.driveTree.empty() || !options.folderTree.empty()) {
        QApplication app(argc, argv);
        setUpFonts();
        if (!options.folderTree.empty()) {
            runCompare(options.folderTree, false, options.peers, options.runs, figures);
        }
        if (!options.driveTree.empty()) {
            Peers peers = options.peers;
            peers.bleachbit.clear();  // its preview covers folders, not whole drives
            runCompare(options.driveTree, true, peers, options.runs, figures);
        }
    }
    if (!options.results.empty()) {
        std::ofstream out(options.results);
        for (const auto& [key, value] : figures.values) {
            out << key << '=' << value << '\n';
        }
        if (!out) {
            die("cannot write " + options.results);
        }
    }
    return 0;
}

}  // namespace
}  // namespace sweepwise::bench

int main(int argc, char** argv) {
    return sweepwise::bench::run(argc, argv);
}
