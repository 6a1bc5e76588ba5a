#pragma once

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/fonts.h"
#include "app/main_window.h"
#include "common/fake_system.h"
#include "common/fixture.h"

namespace sweepwise::test {

// For a child process that runs the real pump: its clock moves a millisecond at each reading,
// so that events are let through every few files however fast the fixture is walked.
struct FastClockSystem : FakeSystem {
    std::chrono::steady_clock::time_point now() override {
        return clock += std::chrono::milliseconds(1);
    }
};

// Runs this test program again, as "--child scenario root", and waits for it to end; true when
// it ended by itself with exit code 0.
inline bool runChild(const QString& scenario, const std::string& root) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), scenario, QString::fromStdString(root)});
    return child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit &&
           child.exitCode() == 0;
}

// Fixture folders for every location the main window reads: the four junk folders hold one
// file each, so that their rows come in a known order; the two drives hold junk and non-junk.
struct World {
    TempTree tree{TempTree::Backing::MemoryWherePossible};
    FakeSystem system;
    TestUi ui;
    std::unique_ptr<Frm1> window;

    World() {
        system.temp = tree.folder("temp") + "/";
        system.winTemp = tree.folder("wintemp");
        system.netTemp = tree.folder("net");
        system.cookies = tree.folder("cookies");
        system.drives = {tree.folder("c") + "/", tree.folder("d") + "/"};
        tree.file("temp/a.log", 3);
        tree.file("temp/index.dat", 5);
        tree.file("wintemp/w.txt", 6);
        tree.file("net/n/cache.bin", 7);
        tree.file("cookies/user@site.txt", 8);
        tree.file("c/c1.tmp", 9);
        tree.file("c/readme.txt", 10);
        tree.file("d/d1.bak", 11);
        tree.file("d/B.TMP", 12);
    }

    Frm1& open() {
        window = std::make_unique<Frm1>(system, ui);
        window->show();
        // The real pump brings the window up to date before it lets events run.
        ui.onPump = [this] { window->publish(); };
        return *window;
    }

    // Runs the pump's own work, then the action, once the list holds the given number of rows.
    void atRows(int rows, std::function<void()> action) {
        ui.onPump = [this, rows, action = std::move(action), done = false]() mutable {
            window->publish();
            if (!done && window->junkList().count() >= rows) {
                done = true;
                action();
            }
        };
    }

    QStringList rows() const {
        QStringList paths;
        JunkList& junk = window->junkList();
        for (int i = 1; i <= junk.count(); ++i) {
            std::string_view path = junk.path(i);
            if (!path.starts_with(tree.root())) {
                paths << QStringLiteral("outside: ") + QString::fromUtf8(path.data(), path.size());
            } else {
                path.remove_prefix(tree.root().size());
                paths << QString::fromUtf8(path.data(), qsizetype(path.size()));
            }
        }
        return paths;
    }

    // The labels as the window paints them, once pending events have run.
    QString shown(QLabel* label) {
        QCoreApplication::processEvents();
        return label->text();
    }
};

struct Buttons {
    bool start, stop, rescan;
};

inline void verifyButtons(Frm1& window, Buttons expected) {
    QCOMPARE(window.Cmdsc->isEnabled(), expected.start);
    QCOMPARE(window.Cmdstop->isEnabled(), expected.stop);
    QCOMPARE(window.Cmdp->isEnabled(), expected.rescan);
}

inline void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

inline void clickRowCheckBox(QTableView* view, int row) {
    QStyleOptionViewItem option;
    option.initFrom(view->viewport());
    option.rect = view->visualRect(view->model()->index(row, 0));
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect box =
        view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
}

// A test program's main: run as "--child scenario root" it plays that scenario in a child
// process of runChild(), otherwise it runs the tests.
template <typename Tests>
int testMain(int argc, char* argv[],
             int (*child)(const QString& scenario, const std::string& root)) {
    QApplication app(argc, argv);
    setUpFonts();
    if (argc == 4 && QByteArray(argv[1]) == "--child") {
        return child(QString::fromLocal8Bit(argv[2]), argv[3]);
    }
    Tests tests;
    return QTest::qExec(&tests, argc, argv);
}

}  // namespace sweepwise::test
