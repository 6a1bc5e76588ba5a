#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QPushButton>
#include <QtTest>
#include <climits>
#include <filesystem>
#include <set>

#include "app/app_world.h"
#include "common/tree_snapshot.h"

using namespace sweepwise;
using test::click;
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

}  // namespace

class CleaningFaultsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fileDeeperThanPathMaxIsDeleted();
};

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
