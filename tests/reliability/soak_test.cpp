#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QPushButton>
#include <QtTest>
#include <cstdint>
#include <fstream>
#include <string>

#include "app/app_world.h"

using namespace sweepwise;
using test::click;
using test::World;

namespace {

int openDescriptors() {
    int count = 0;
    DIR* fds = ::opendir("/proc/self/fd");
    while (const dirent* entry = ::readdir(fds)) {
        count += entry->d_name[0] != '.';
    }
    ::closedir(fds);
    return count - 1;  // the listing's own
}

std::int64_t residentBytes() {
    std::int64_t size = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

std::uint64_t fromEnvironment(const char* name, std::uint64_t fallback) {
    bool ok = false;
    const std::uint64_t number = qgetenv(name).toULongLong(&ok);
    return ok ? number : fallback;
}

}  // namespace

class SoakTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scanAndCleanCyclesGiveBackDescriptorsAndMemory();
};

void SoakTest::scanAndCleanCyclesGiveBackDescriptorsAndMemory() {
    const std::uint64_t cycles = fromEnvironment("SWEEPWISE_CYCLES", 1000);
    constexpr std::uint64_t kWarmUp = 50;  // caches of fonts, styles and the allocator fill up
    World world;
    Frm1& w = world.open();
    const std::string kept = world.tree.file("temp/kept.log", 9);
    ::chmod(kept.c_str(), 0444);  // comes back as a row not removed at every run

    int descriptors = 0;
    std::int64_t resident = 0;
    for (std::uint64_t cycle = 0; cycle < kWarmUp + cycles; ++cycle) {
        if (cycle == kWarmUp) {
            descriptors = openDescriptors();
            resident = residentBytes();
        }
        for (int i = 0; i < 20; ++i) {
            world.tree.file("temp/more/" + std::to_string(i) + ".log", i + 1);
        }
        world.tree.file("temp/a.log", 3);
        world.tree.file("wintemp/w.txt", 6);
        world.tree.file("net/n/cache.bin", 7);
        world.tree.file("cookies/user@site.txt", 8);
        click(w.Cmdstop);  // Start stays disabled after a scan until Stop
        click(w.Cmdsc);
        QCOMPARE(w.junkList().count(), 25);
        click(w.command8);
        QCOMPARE(world.rows(), QStringList{"temp/kept.log"});
        QVERIFY(w.cleaningWindow() == nullptr);
        // Between two clicks the program's event loop runs, as it would for a user.
        QCoreApplication::processEvents();
    }
    const int descriptorsAfter = openDescriptors();
    const std::int64_t residentAfter = residentBytes();
    qInfo(
        "%llu cycles: %d descriptors open before, %d after; resident %lld KiB before, %lld KiB "
        "after",
        static_cast<unsigned long long>(cycles), descriptors, descriptorsAfter,
        static_cast<long long>(resident / 1024), static_cast<long long>(residentAfter / 1024));
    QCOMPARE(descriptorsAfter, descriptors);
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer holds freed memory back on purpose; its leak check covers that build.
    QVERIFY2(residentAfter <= resident + resident / 20, "resident memory grew by more than 5 %");
#endif
}

int main(int argc, char* argv[]) {
    return test::testMain<SoakTest>(argc, argv,
                                    [](const QString&, const std::string&) { return 1; });
}

#include "soak_test.moc"
