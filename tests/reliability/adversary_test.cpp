#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/app_world.h"
#include "app/main_window.h"
#include "common/tree_snapshot.h"

using namespace sweepwise;
using test::click;
using test::TempTree;

namespace {

constexpr int kFolders = 8;
constexpr int kFilesPerFolder = 6;
// Files of the arena are shorter than this and protected ones longer, so a row whose size is
// this or more was read through a link.
constexpr std::int64_t kProtectedLength = 1000;

// The fixture: a world-writable arena that is scanned and cleaned, a protected folder beside it
// whose files bear the same names, and in the arena's dot-folder (never walked) the things the
// adversary swaps in: links to the protected folder, links to its files, FIFOs and folders.
struct Arena {
    TempTree tree{TempTree::Backing::MemoryWherePossible};
    std::string root = tree.path("arena/");
    std::string spare = tree.path("arena/.spare/");
    // What each swap exchanges: a path in the arena and its partner in the dot-folder.
    std::vector<std::pair<std::string, std::string>> swaps;
    // Files inside swapped-in folders, by the arena path through which the scan sees them.
    std::map<std::string, std::string> seenAs;

    static std::string file(int folder, bool nested, int number) {
        return "d" + std::to_string(folder) + (nested ? "/s/f" : "/f") + std::to_string(number) +
               ".tmp";
    }

    Arena() {
        for (int number = 0; number < kFilesPerFolder; ++number) {
            tree.file("protected/f" + std::to_string(number) + ".tmp", kProtectedLength + number);
            tree.file("protected/s/f" + std::to_string(number) + ".tmp",
                      kProtectedLength + 10 + number);
        }
        tree.file("protected/only-here.tmp", kProtectedLength);
        ::chmod(tree.path("protected").c_str(), 0755);
        tree.folder("arena/.spare");
        ::chmod(root.c_str(), 0777);
        replenish();
        for (int folder = 0; folder < kFolders; ++folder) {
            const std::string d = "d" + std::to_string(folder);
            // Absolute and relative links to the protected folder and to one below it.
            tree.link("arena/.spare/" + d + "-abs", tree.path("protected"));
            swaps.emplace_back(root + d, spare + d + "-abs");
            tree.link("arena/.spare/" + d + "-rel", "../protected");
            swaps.emplace_back(root + d, spare + d + "-rel");
            tree.link("arena/.spare/" + d + "-s", tree.path("protected/s"));
            swaps.emplace_back(root + d + "/s", spare + d + "-s");
            for (const bool nested : {false, true}) {
                for (int number = 0; number < kFilesPerFolder; ++number) {
                    const std::string name = file(folder, nested, number);
                    std::string stem = name;
                    std::replace(stem.begin(), stem.end(), '/', '_');
                    const std::string target = tree.path(nested ? "protected/s/f" : "protected/f") +
                                               std::to_string(number) + ".tmp";
                    tree.link("arena/.spare/" + stem + "-link", target);
                    swaps.emplace_back(root + name, spare + stem + "-link");
                    ::mkfifo((spare + stem + "-fifo").c_str(), 0666);
                    swaps.emplace_back(root + name, spare + stem + "-fifo");
                    tree.file("arena/.spare/" + stem + "-folder/g.tmp", 5);
                    swaps.emplace_back(root + name, spare + stem + "-folder");
                    seenAs[name + "/g.tmp"] = ".spare/" + stem + "-folder/g.tmp";
                }
            }
        }
    }

    // Puts back every arena file that a cleaning run deleted. Only while nothing is swapped.
    void replenish() {
        for (int folder = 0; folder < kFolders; ++folder) {
            for (const bool nested : {false, true}) {
                for (int number = 0; number < kFilesPerFolder; ++number) {
                    const std::string name = "arena/" + file(folder, nested, number);
                    struct stat st {};
                    if (::lstat(tree.path(name).c_str(), &st) != 0) {
                        tree.file(name, 1 + folder * 10 + number);
                    }
                }
            }
        }
        for (const auto& [arenaPath, sparePath] : seenAs) {
            struct stat st {};
            if (::lstat((root + sparePath).c_str(), &st) != 0) {
                tree.file("arena/" + sparePath, 5);
            }
        }
    }
};

// The adversary: another process that exchanges arena entries with their partners and back,
// atomically, as fast as it can, until told to stop. It pauses on request, with nothing
// swapped, so that the test can look at the fixture in its own state.
class Adversary {
public:
    explicit Adversary(const Arena& arena) {
        void* shared = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE,
                              MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (shared == MAP_FAILED) {
            throw std::runtime_error("mmap");
        }
        m_shared = new (shared) Shared;
        m_child = ::fork();
        if (m_child == 0) {
            run(arena.swaps);
            ::_exit(0);
        }
    }

    ~Adversary() {
        m_shared->stop = true;
        ::waitpid(m_child, nullptr, 0);
        ::munmap(m_shared, sizeof(Shared));
    }

    std::uint64_t swaps() const { return m_shared->swaps; }
    // Why the adversary could not undo a swap, or null.
    const char* failure() const { return m_shared->failed ? m_shared->failure : nullptr; }

    void pause() {
        m_shared->pause = true;
        while (!m_shared->paused) {
            sched_yield();
        }
    }
    void resume() {
        m_shared->pause = false;
        while (m_shared->paused) {
            sched_yield();
        }
    }

private:
    struct Shared {
        std::atomic<bool> stop{false};
        std::atomic<bool> pause{true};
        std::atomic<bool> paused{false};
        std::atomic<std::uint64_t> swaps{0};
        std::atomic<bool> failed{false};
        char failure[1024] = {};
    };

    void run(const std::vector<std::pair<std::string, std::string>>& swaps) {
        std::mt19937 rng(7);
        while (!m_shared->stop) {
            if (m_shared->pause) {
                m_shared->paused = true;
                while (m_shared->pause && !m_shared->stop) {
                    sched_yield();
                }
                m_shared->paused = false;
                continue;
            }
            const auto& [inArena, partner] = swaps[rng() % swaps.size()];
            if (::renameat2(AT_FDCWD, inArena.c_str(), AT_FDCWD, partner.c_str(),
                            RENAME_EXCHANGE) != 0) {
                continue;  // a file the run deleted: nothing to swap until it is put back
            }
            ++m_shared->swaps;
            for (int spin = int(rng() % 2000); spin > 0; --spin) {
                asm volatile("" ::: "memory");
            }
            // The same exchange undoes it: the arena is whole again between two swaps.
            // A deletion may hold the entry aside for a moment while it checks what it is.
            bool back = false;
            for (int attempt = 0; !back && attempt < 10'000; ++attempt) {
                back = ::renameat2(AT_FDCWD, inArena.c_str(), AT_FDCWD, partner.c_str(),
                                   RENAME_EXCHANGE) == 0;
                if (!back) {
                    sched_yield();
                }
            }
            if (!back) {
                // Only the program under test can have removed what was swapped in.
                std::snprintf(m_shared->failure, sizeof m_shared->failure,
                              "%s, swapped for %s, went: %s", inArena.c_str(), partner.c_str(),
                              std::strerror(errno));
                m_shared->failed = true;
                m_shared->paused = true;
                while (!m_shared->stop) {
                    sched_yield();
                }
                return;
            }
            ++m_shared->swaps;
        }
    }

    Shared* m_shared = nullptr;
    pid_t m_child = -1;
};

std::uint64_t fromEnvironment(const char* name, std::uint64_t fallback) {
    bool ok = false;
    const std::uint64_t number = qgetenv(name).toULongLong(&ok);
    return ok ? number : fallback;
}

}  // namespace

class AdversaryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void swapsDuringScansAndRunsNeverReachOutsideTheRoot();
};

void AdversaryTest::swapsDuringScansAndRunsNeverReachOutsideTheRoot() {
    const std::uint64_t wanted = fromEnvironment("SWEEPWISE_SWAPS", 10'000);
    Arena arena;
    const auto protectedBefore = test::snapshot(arena.tree.path("protected"));
    Adversary adversary(arena);

    test::FakeSystem system;
    test::TestUi ui;
    system.temp = arena.root;
    system.drives = {arena.root};
    Frm1 w(system, ui);
    w.show();
    int pumps = 0;
    ui.onPump = [&] {
        w.publish();
        if (++pumps % 8 == 0) {
            sched_yield();  // lets the adversary in between the walk's steps on a busy machine
        }
    };

    int rounds = 0;
    std::uint64_t rows = 0, deleted = 0, swapsDuringRuns = 0;
    while ((swapsDuringRuns < wanted || rounds < 50) && rounds < 5000) {
        // Round 0 is a quick scan; then folder mode (the temporary folder) and drive mode take
        // turns through the custom options.
        const bool driveMode = rounds % 2 == 1;
        if (rounds == 1) {
            click(w.Op2);
            for (QAbstractButton* box : {w.Ch2, w.Ch3}) {
                click(box);
            }
        }
        if (rounds >= 1) {
            if (w.Ch1->isChecked() == driveMode) {
                click(w.Ch1);
            }
            if (w.ch4->isChecked() != driveMode) {
                click(w.ch4);
            }
        }
        ++rounds;
        arena.replenish();
        const auto before = test::snapshot(arena.root);
        const std::uint64_t swapsBefore = adversary.swaps();
        adversary.resume();
        click(w.Cmdstop);  // Start stays disabled after a scan until Stop
        click(w.Cmdsc);
        w.publish();
        adversary.pause();
        QVERIFY2(adversary.failure() == nullptr, adversary.failure());

        JunkList& junk = w.junkList();
        std::set<std::string> listed;
        for (int row = 1; row <= junk.count(); ++row) {
            const std::string_view path = junk.path(row);
            QVERIFY2(path.starts_with(arena.root), std::string(path).c_str());
            QVERIFY2(junk.size(row) < kProtectedLength, std::string(path).c_str());
            listed.emplace(path.substr(arena.root.size()));
        }
        QVERIFY(!listed.empty());
        rows += listed.size();

        adversary.resume();
        click(w.command8);
        adversary.pause();
        QVERIFY2(adversary.failure() == nullptr, adversary.failure());
        swapsDuringRuns += adversary.swaps() - swapsBefore;

        QCOMPARE(test::snapshot(arena.tree.path("protected")), protectedBefore);
        // Everything that went from the arena was listed, under the path the scan saw.
        for (const auto& [path, what] : test::removed(before, test::snapshot(arena.root))) {
            const bool seen =
                listed.contains(path) ||
                std::any_of(arena.seenAs.begin(), arena.seenAs.end(), [&](const auto& entry) {
                    return entry.second == path && listed.contains(entry.first);
                });
            QVERIFY2(seen, path.c_str());
            QVERIFY2(what.starts_with("file "), path.c_str());
            ++deleted;
        }
    }
    QVERIFY2(swapsDuringRuns >= wanted, "the adversary did not get to swap often enough");
    qInfo(
        "%d rounds of scan and clean, %llu swaps during them, %llu rows listed, %llu files "
        "deleted, none outside the arena",
        rounds, static_cast<unsigned long long>(swapsDuringRuns),
        static_cast<unsigned long long>(rows), static_cast<unsigned long long>(deleted));
}

int main(int argc, char* argv[]) {
    return test::testMain<AdversaryTest>(argc, argv,
                                         [](const QString&, const std::string&) { return 1; });
}

#include "adversary_test.moc"
