#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <QPushButton>
#include <QtTest>
#include <climits>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>

#include "app/app_world.h"
#include "clean/cleaning_window.h"
#include "common/tree_snapshot.h"

using namespace sweepwise;
using test::click;
using test::HeldByAnotherProcess;
using test::TempTree;
using test::World;

namespace {

constexpr const char* kQuickFiles[] = {"temp/a.log", "wintemp/w.txt", "net/n/cache.bin",
                                       "cookies/user@site.txt"};

std::set<std::string> removedPaths(const std::map<std::string, std::string>& before,
                                   const std::map<std::string, std::string>& after) {
    std::set<std::string> gone;
    for (const auto& [path, what] : test::removed(before, after)) {
        gone.insert(path);
    }
    return gone;
}

QStringList rowsLeft(World& world) {
    QStringList rows = world.rows();
    for (int row = 1; row <= world.window->junkList().count(); ++row) {
        if (world.window->junkList().checked(row)) {
            rows << QStringLiteral("ticked");
        }
    }
    return rows;
}

}  // namespace

class CleaningFaultsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void filesInUseComeBackAsRowsNotRemoved();
    void entriesReplacedBetweenScanAndClean_data();
    void entriesReplacedBetweenScanAndClean();
    void fileDeeperThanPathMaxIsDeleted();
};

void CleaningFaultsTest::filesInUseComeBackAsRowsNotRemoved() {
    World world;
    world.tree.file("temp/mapped.log", 4);
    world.tree.file("temp/after-scan.log", 5);
    world.tree.file("temp/during-run.log", 6);
    HeldByAnotherProcess mapped(world.tree.path("temp/mapped.log"),
                                HeldByAnotherProcess::Hold::MappedThenClosed);
    Frm1& w = world.open();
    click(w.Cmdsc);
    QCOMPARE(w.junkList().count(), 7);

    // Opened by other processes once the scan is over: one before the run, one during it.
    HeldByAnotherProcess afterScan(world.tree.path("temp/after-scan.log"),
                                   HeldByAnotherProcess::Hold::Open);
    std::unique_ptr<HeldByAnotherProcess> duringRun;
    world.ui.onPump = [&] {
        w.publish();
        if (!duringRun && w.cleaningWindow() != nullptr) {
            duringRun = std::make_unique<HeldByAnotherProcess>(
                world.tree.path("temp/during-run.log"), HeldByAnotherProcess::Hold::Open);
        }
    };
    const auto before = test::snapshot(world.tree.root());
    click(w.command8);
    QVERIFY(duringRun);
    std::set<std::string> expected(std::begin(kQuickFiles), std::end(kQuickFiles));
    QCOMPARE(removedPaths(before, test::snapshot(world.tree.root())), expected);

    // The three come back unticked, in their rows' order, with the count of files not removed.
    const QStringList rows = world.rows();
    QCOMPARE(QSet<QString>(rows.begin(), rows.end()),
             (QSet<QString>{"temp/mapped.log", "temp/after-scan.log", "temp/during-run.log"}));
    QCOMPARE(rowsLeft(world).size(), 3);
    QCOMPARE(world.shown(w.Lf), QString::fromUtf8("未清除文件3个。您可以关闭其他的程序后重试。"));
}

void CleaningFaultsTest::entriesReplacedBetweenScanAndClean_data() {
    QTest::addColumn<QString>("replacement");
    QTest::newRow("a folder holding a file") << "folder";
    QTest::newRow("a FIFO") << "fifo";
    QTest::newRow("a socket") << "socket";
    QTest::newRow("a device node") << "device";
    QTest::newRow("a link to a file outside") << "link";
    QTest::newRow("an empty file") << "empty";
}

void CleaningFaultsTest::entriesReplacedBetweenScanAndClean() {
    QFETCH(QString, replacement);
    World world;
    TempTree outside;
    outside.file("precious.log", 9);
    const std::string victim = world.tree.file("temp/victim.log", 5);
    Frm1& w = world.open();
    click(w.Cmdsc);
    QCOMPARE(w.junkList().count(), 5);

    QCOMPARE(::unlink(victim.c_str()), 0);
    int sock = -1;
    if (replacement == QStringLiteral("folder")) {
        world.tree.file("temp/victim.log/inner.log", 3);
    } else if (replacement == QStringLiteral("fifo")) {
        QCOMPARE(::mkfifo(victim.c_str(), 0666), 0);
    } else if (replacement == QStringLiteral("socket")) {
        sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        QVERIFY(victim.size() < sizeof address.sun_path);
        victim.copy(address.sun_path, victim.size());
        QCOMPARE(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    } else if (replacement == QStringLiteral("device")) {
        if (::mknod(victim.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
            QSKIP("cannot make device nodes here");
        }
    } else if (replacement == QStringLiteral("link")) {
        world.tree.link("temp/victim.log", outside.path("precious.log"));
    } else {
        world.tree.file("temp/victim.log", 0);
    }
    const auto before = test::snapshot(world.tree.root());
    click(w.command8);

    // The others go; what took the file's place stays, and nothing is put back for it.
    std::set<std::string> expected(std::begin(kQuickFiles), std::end(kQuickFiles));
    QCOMPARE(removedPaths(before, test::snapshot(world.tree.root())), expected);
    QCOMPARE(outside.nonFolders(), std::set<std::string>{"precious.log"});
    QCOMPARE(w.junkList().count(), 0);
    if (sock >= 0) {
        ::close(sock);
    }
}

void CleaningFaultsTest::fileDeeperThanPathMaxIsDeleted() {
    World world;
    std::string relative = "temp/";
    while (relative.size() < PATH_MAX + 100) {
        relative += std::string(200, 'd') + "/";
    }
    // Made one level at a time: no call takes the whole path.
    std::string made = world.tree.root();
    int fd = ::open(made.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string_view rest = relative;
    while (!rest.empty()) {
        const std::string name(rest.substr(0, rest.find('/')));
        rest.remove_prefix(name.size() + 1);
        ::mkdirat(fd, name.c_str(), 0755);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    const int file = ::openat(fd, "deep.log", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    QVERIFY(file >= 0);
    QCOMPARE(::write(file, "deep", 4), 4);
    ::close(file);
    ::close(fd);

    Frm1& w = world.open();
    click(w.Cmdsc);
    QVERIFY(world.rows().contains(QString::fromStdString(relative + "deep.log")));
    const auto before = test::snapshot(world.tree.root());
    click(w.command8);
    std::set<std::string> expected(std::begin(kQuickFiles), std::end(kQuickFiles));
    expected.insert(relative + "deep.log");
    QCOMPARE(removedPaths(before, test::snapshot(world.tree.root())), expected);
    QCOMPARE(w.junkList().count(), 0);
}

int main(int argc, char* argv[]) {
    return test::testMain<CleaningFaultsTest>(argc, argv,
                                              [](const QString&, const std::string&) { return 1; });
}

#include "cleaning_faults_test.moc"
