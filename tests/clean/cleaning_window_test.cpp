#include <sys/stat.h>

#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <set>

#include "app/app_world.h"
#include "app/fonts.h"
#include "app/qt_ui_services.h"
#include "clean/cleaning_window.h"

using namespace sweepwise;
using test::click;
using test::clickRowCheckBox;
using test::HeldByAnotherProcess;
using test::TempTree;
using test::verifyButtons;
using test::World;

namespace {

constexpr const char* kNotRemoved2 = "未清除文件2个。您可以关闭其他的程序后重试。";

// A main window over fixture rows, whose runs are watched at every pump.
struct CleaningWorld : World {
    QStringList percents;  // each new text of Nows, in order
    std::function<void(Frmdel&)> during;

    CleaningWorld() {
        open();
        ui.onPump = [this] {
            window->publish();
            if (Frmdel* cleaning = window->cleaningWindow()) {
                const QString text = cleaning->Nows->text();
                if (!text.isEmpty() && (percents.isEmpty() || percents.back() != text)) {
                    percents << text;
                }
                if (during) {
                    during(*cleaning);
                }
            }
        };
    }

    // A row for a file below files/, found under the fixture's root.
    int add(const std::string& name, bool ticked = true, bool create = true) {
        if (create) {
            tree.file("files/" + name, 1);
        }
        JunkList& junk = window->junkList();
        const int row = junk.append(tree.path("files/" + name), tree.root().size());
        junk.setChecked(row, ticked);
        return row;
    }

    std::set<std::string> files() const {
        std::set<std::string> found;
        for (const std::string& file : tree.nonFolders()) {
            if (file.starts_with("files/")) {
                found.insert(file.substr(6));
            }
        }
        return found;
    }

    // The rows left after a run: paths below files/, with their size text and tick.
    QStringList rowsLeft() const {
        QStringList rows;
        const QAbstractItemModel* model = window->Lm->model();
        QCoreApplication::processEvents();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString path = model->index(row, 0).data().toString();
            rows << path.mid(int(tree.root().size()) + 6) + '|' +
                        model->index(row, 1).data().toString() + '|' +
                        QString::number(model->index(row, 0).data(Qt::CheckStateRole).toInt());
        }
        return rows;
    }
};

int handled(Frmdel& cleaning) {
    return int(cleaning.run().progressValue());
}

}  // namespace

class CleaningWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyListShowsTheMessageAndOpensNoWindow();
    void cleanAllAfterAScanDeletesEveryFoundFile();
    void nothingTickedDeletesNothingAndEmptiesTheList();
    void percentTexts_data();
    void percentTexts();
    void filesThatCannotGoComeBackInTheirOrder();
    void failuresOnTheFirstAndTheLastRow();
    void fileHeldOpenComesBackAsTheOnlyRow();
    void folderSwappedForALinkSinceTheScan();
    void ticksChangedDuringARunCountForRowsNotYetReached();
    void cleanSelectedDuringARunStartsNoSecondRun();
    void cleanAllDuringAScan();
    void cancelAnsweredNoGoesOn();
    void closeIsRefusedUntilEveryRowIsHandled();
    void cleaningWindowAsLaidOut();
    void scanButtonsRestDuringARun();
    void closingTheMainWindowDuringARun();
    void endsOnlyThroughCancelWhileAMainWindowClosedComesBack_data();
    void endsOnlyThroughCancelWhileAMainWindowClosedComesBack();
};

void CleaningWindowTest::emptyListShowsTheMessageAndOpensNoWindow() {
    CleaningWorld world;
    click(world.window->command7);
    click(world.window->command8);
    QCOMPARE(world.ui.messages.size(), 2u);
    for (const auto& shown : world.ui.messages) {
        QCOMPARE(QString::fromStdString(shown.text),
                 QString::fromUtf8("无垃圾文件可清理！请先执行垃圾文件扫描。"));
        QCOMPARE(shown.flags, 64);
        QCOMPARE(QString::fromStdString(shown.title), QString::fromUtf8("提示"));
    }
    QVERIFY(world.system.sleeps.empty());
    QVERIFY(world.percents.isEmpty());
}

void CleaningWindowTest::cleanAllAfterAScanDeletesEveryFoundFile() {
    CleaningWorld world;
    Frm1& w = *world.window;
    click(w.Cmdsc);
    const QString count = world.shown(w.Lf);
    const std::set<std::string> before = world.tree.nonFolders();
    click(w.command8);
    std::set<std::string> gone;
    const std::set<std::string> after = world.tree.nonFolders();
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                        std::inserter(gone, gone.end()));
    QCOMPARE(gone, (std::set<std::string>{"temp/a.log", "wintemp/w.txt", "net/n/cache.bin",
                                          "cookies/user@site.txt"}));
    QCOMPARE(w.junkList().count(), 0);
    QCOMPARE(world.shown(w.Lf), count);
    QVERIFY(w.cleaningWindow() == nullptr);
    QCOMPARE(world.system.sleeps, (std::vector<int>{50, 50, 3, 3, 3, 3}));
    QCOMPARE(world.percents, (QStringList{"已完成25%", "已完成50%", "已完成75%", "已完成100%"}));
}

void CleaningWindowTest::nothingTickedDeletesNothingAndEmptiesTheList() {
    CleaningWorld world;
    for (const char* name : {"a.tmp", "b.tmp", "c.tmp"}) {
        world.add(name, false);
    }
    int lastValue = -1, lastMaximum = -1;
    world.during = [&](Frmdel& cleaning) {
        lastValue = cleaning.PP1->value();
        lastMaximum = cleaning.PP1->maximum();
    };
    click(world.window->command7);
    QCOMPARE(world.files(), (std::set<std::string>{"a.tmp", "b.tmp", "c.tmp"}));
    QCOMPARE(world.window->junkList().count(), 0);
    QCOMPARE(world.shown(world.window->Lf), QString());
    QCOMPARE(lastValue, 3);
    QCOMPARE(lastMaximum, 3);
    QVERIFY(world.window->cleaningWindow() == nullptr);
}

void CleaningWindowTest::percentTexts_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("expected");  // by position; empty entries are not checked
    QTest::newRow("three rows") << 3 << QStringList{"33.33", "66.66", "100"};
    QTest::newRow("seven rows") << 7 << QStringList{"14.28", "28.57", "42.85", "57.14",
                                                    "71.42", "85.71", "100"};
    QStringList many(3001);
    many[0] = "0.033";
    many[1] = "0.066";
    many[2] = "0.099";
    many[299] = "9.996";
    many[300] = "10.02";
    many[2999] = "99.96";
    many[3000] = "100";
    QTest::newRow("3001 rows, below a tenth in plain decimals") << 3001 << many;
}

void CleaningWindowTest::percentTexts() {
    QFETCH(int, rows);
    QFETCH(QStringList, expected);
    CleaningWorld world;
    for (int i = 0; i < rows; ++i) {
        world.add("missing" + std::to_string(i), true, false);  // passed over, still counted
    }
    click(world.window->command7);
    QCOMPARE(world.percents.size(), rows);
    for (int i = 0; i < rows; ++i) {
        if (!expected[i].isEmpty()) {
            QCOMPARE(world.percents[i], QString::fromUtf8("已完成") + expected[i] + '%');
        }
    }
    QCOMPARE(world.system.sleeps.size(), std::size_t(rows) + 2);
}

void CleaningWindowTest::filesThatCannotGoComeBackInTheirOrder() {
    CleaningWorld world;
    world.add("ok1.tmp");
    world.add("held.tmp");
    world.add("ok2.tmp");
    world.add("protected.tmp");
    world.add("spared.tmp", false);
    ::chmod(world.tree.path("files/protected.tmp").c_str(), 0444);
    HeldByAnotherProcess held(world.tree.path("files/held.tmp"), HeldByAnotherProcess::Hold::Open);

    click(world.window->command7);
    QCOMPARE(world.files(), (std::set<std::string>{"held.tmp", "protected.tmp", "spared.tmp"}));
    QCOMPARE(world.rowsLeft(), (QStringList{"held.tmp||0", "protected.tmp||0"}));
    QCOMPARE(world.shown(world.window->Lf), QString::fromUtf8(kNotRemoved2));
    // Each failure pauses 50 ms instead of the row's 3 ms.
    QCOMPARE(world.system.sleeps, (std::vector<int>{50, 50, 3, 50, 3, 50, 3}));
    QCOMPARE(world.percents, (QStringList{"已完成20%", "已完成60%", "已完成100%"}));

    // The rows put back are unticked: cleaning again deletes nothing and clears them.
    click(world.window->command7);
    QCOMPARE(world.files(), (std::set<std::string>{"held.tmp", "protected.tmp", "spared.tmp"}));
    QCOMPARE(world.window->junkList().count(), 0);
}

void CleaningWindowTest::failuresOnTheFirstAndTheLastRow() {
    CleaningWorld world;
    world.add("first.tmp");
    world.add("middle.tmp");
    world.add("last.tmp");
    ::chmod(world.tree.path("files/first.tmp").c_str(), 0444);
    ::chmod(world.tree.path("files/last.tmp").c_str(), 0444);
    click(world.window->command7);
    QCOMPARE(world.files(), (std::set<std::string>{"first.tmp", "last.tmp"}));
    QCOMPARE(world.rowsLeft(), (QStringList{"first.tmp||0", "last.tmp||0"}));
    QCOMPARE(world.shown(world.window->Lf), QString::fromUtf8(kNotRemoved2));
    QCOMPARE(world.system.sleeps, (std::vector<int>{50, 50, 50, 3, 50}));
}

void CleaningWindowTest::fileHeldOpenComesBackAsTheOnlyRow() {
    CleaningWorld world;
    Frm1& w = *world.window;
    world.tree.file("temp/held.log", 4);
    HeldByAnotherProcess held(world.tree.path("temp/held.log"), HeldByAnotherProcess::Hold::Open);
    click(w.Cmdsc);
    QCOMPARE(w.junkList().count(), 5);
    click(w.command8);
    QCOMPARE(w.junkList().count(), 1);
    QCOMPARE(std::string(w.junkList().path(1)), world.tree.path("temp/held.log"));
    QCOMPARE(w.Lm->model()->index(0, 1).data().toString(), QString());
    QVERIFY(!w.junkList().checked(1));
    QCOMPARE(world.shown(w.Lf), QString::fromUtf8("未清除文件1个。您可以关闭其他的程序后重试。"));
    QVERIFY(std::filesystem::exists(world.tree.path("temp/held.log")));
}

void CleaningWindowTest::folderSwappedForALinkSinceTheScan() {
    CleaningWorld world;
    Frm1& w = *world.window;
    TempTree outside;
    outside.file("sub/precious.log", 5);
    world.tree.file("temp/sub/precious.log", 5);
    click(w.Cmdsc);
    QCOMPARE(w.junkList().count(), 5);

    std::filesystem::remove_all(world.tree.path("temp/sub"));
    world.tree.link("temp/sub", outside.path("sub"));
    click(w.command8);
    QCOMPARE(outside.nonFolders(), std::set<std::string>{"sub/precious.log"});
    QCOMPARE(w.junkList().count(), 1);
    QCOMPARE(std::string(w.junkList().path(1)), world.tree.path("temp/sub/precious.log"));
}

void CleaningWindowTest::ticksChangedDuringARunCountForRowsNotYetReached() {
    CleaningWorld world;
    for (const char* name : {"1.tmp", "2.tmp", "3.tmp", "4.tmp", "5.tmp"}) {
        world.add(name, std::string_view(name) != "5.tmp");
    }
    bool changed = false;
    world.during = [&](Frmdel& cleaning) {
        if (!changed && handled(cleaning) == 1) {
            changed = true;
            clickRowCheckBox(world.window->Lm, 2);  // unticks row 3
            QVERIFY(!world.window->junkList().checked(3));
        }
    };
    click(world.window->command7);
    QVERIFY(changed);
    QCOMPARE(world.files(), (std::set<std::string>{"3.tmp", "5.tmp"}));

    // Clean all during a run ticks every row: the run deletes every file it has yet to reach.
    CleaningWorld again;
    for (const char* name : {"1.tmp", "2.tmp", "3.tmp", "4.tmp"}) {
        again.add(name, std::string_view(name) == "1.tmp");
    }
    bool cleanedAll = false;
    again.during = [&](Frmdel& cleaning) {
        if (!cleanedAll && handled(cleaning) == 1) {
            cleanedAll = true;
            click(again.window->command8);
        }
    };
    click(again.window->command7);
    QVERIFY(cleanedAll);
    QCOMPARE(again.files(), std::set<std::string>{});
    QCOMPARE(again.ui.messages.size(), 0u);
    QCOMPARE(again.system.sleeps, (std::vector<int>{50, 50, 3, 3, 3, 3}));
}

void CleaningWindowTest::cleanSelectedDuringARunStartsNoSecondRun() {
    CleaningWorld world;
    world.add("1.tmp");
    world.add("2.tmp");
    Frmdel* first = nullptr;
    world.during = [&](Frmdel& cleaning) {
        if (first == nullptr) {
            first = &cleaning;
            click(world.window->command7);
        }
        QCOMPARE(&cleaning, first);
    };
    click(world.window->command7);
    QCOMPARE(world.system.sleeps, (std::vector<int>{50, 50, 3, 3}));
    QCOMPARE(world.files(), std::set<std::string>{});
}

void CleaningWindowTest::cleanAllDuringAScan() {
    CleaningWorld world;
    Frm1& w = *world.window;
    world.tree.file("temp/more/b.log", 4);
    bool cleaned = false;
    const auto watch = world.ui.onPump;
    world.ui.onPump = [&] {
        watch();
        if (!cleaned && w.cleaningWindow() == nullptr && w.junkList().count() == 2) {
            cleaned = true;
            click(w.command8);
        }
    };
    click(w.Cmdsc);
    QVERIFY(cleaned);
    // The two rows found before were ticked and deleted; the scan then went on appending.
    QVERIFY(!std::filesystem::exists(world.tree.path("temp/a.log")));
    QVERIFY(!std::filesystem::exists(world.tree.path("temp/more/b.log")));
    QCOMPARE(world.rows(),
             (QStringList{"wintemp/w.txt", "net/n/cache.bin", "cookies/user@site.txt"}));
    for (int row = 1; row <= w.junkList().count(); ++row) {
        QVERIFY(!w.junkList().checked(row));
    }
    QCOMPARE(world.shown(w.lls), QString::fromUtf8("扫描完成。"));
}

void CleaningWindowTest::cancelAnsweredNoGoesOn() {
    CleaningWorld world;
    for (const char* name : {"1.tmp", "2.tmp", "3.tmp"}) {
        world.add(name);
    }
    world.ui.answer = [](const test::TestUi::Shown&) { return platform::kAnswerNo; };
    bool cancelled = false;
    world.during = [&](Frmdel& cleaning) {
        if (!cancelled && handled(cleaning) == 1) {
            cancelled = true;
            click(cleaning.command1);
        }
    };
    click(world.window->command7);
    QCOMPARE(world.ui.messages.size(), 1u);
    QCOMPARE(QString::fromStdString(world.ui.messages[0].text),
             QString::fromUtf8("垃圾文件尚未清理完毕，您确实要终止清理吗？"));
    QCOMPARE(world.ui.messages[0].flags, 36);
    QCOMPARE(QString::fromStdString(world.ui.messages[0].title), QStringLiteral("Sweepwise"));
    QCOMPARE(world.files(), std::set<std::string>{});
    QCOMPARE(world.percents, (QStringList{"已完成33.33%", "已完成66.66%", "已完成100%"}));
}

void CleaningWindowTest::closeIsRefusedUntilEveryRowIsHandled() {
    CleaningWorld world;
    world.add("1.tmp");
    world.add("2.tmp");
    int refused = 0;
    bool closedAtTheEnd = false;
    world.during = [&](Frmdel& cleaning) {
        if (handled(cleaning) < 2) {
            cleaning.close();
            refused += cleaning.isVisible() ? 1 : 0;
        } else if (!closedAtTheEnd) {
            // The last row's step is done: the request now passes, and the run still completes.
            cleaning.close();
            closedAtTheEnd = !cleaning.isVisible();
            click(cleaning.command1);  // nothing to cancel any more
        }
    };
    click(world.window->command7);
    QVERIFY(refused > 0);
    QVERIFY(closedAtTheEnd);
    QVERIFY(world.ui.messages.empty());
    QCOMPARE(world.files(), std::set<std::string>{});
    QCOMPARE(world.window->junkList().count(), 0);
}

void CleaningWindowTest::cleaningWindowAsLaidOut() {
    CleaningWorld world;
    world.add("1.tmp");
    bool checked = false;
    world.during = [&](Frmdel& cleaning) {
        if (checked) {
            return;
        }
        checked = true;
        // The first pump comes in the load's own pause, before any row.
        QCOMPARE(cleaning.windowTitle(), QString::fromUtf8("正在清理垃圾文件..."));
        QVERIFY(cleaning.windowFlags() & Qt::Tool);
        QVERIFY(!(cleaning.windowFlags() &
                  (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(cleaning.size(), QSize(419, 149));
        QCOMPARE(cleaning.minimumSize(), cleaning.maximumSize());
        QVERIFY(cleaning.isVisible());
        const QPoint centre = cleaning.screen()->availableGeometry().center();
        QVERIFY(qAbs(cleaning.frameGeometry().center().x() - centre.x()) <= 1);
        QVERIFY(qAbs(cleaning.frameGeometry().center().y() - centre.y()) <= 1);
        QCOMPARE(cleaning.PP1->maximum(), 100);
        QCOMPARE(cleaning.PP1->value(), 0);
        QCOMPARE(cleaning.Nowf->text(), QString::fromUtf8("正在清理..."));
        QCOMPARE(cleaning.Nows->text(), QString());
        QCOMPARE(cleaning.Nows->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(cleaning.lTem->isHidden());
        QCOMPARE(cleaning.command1->text(), QString::fromUtf8("取消(&C)"));
        QCOMPARE(cleaning.Image1->pixmap().size(), cleaning.Image1->size());
        QCOMPARE(cleaning.Image1->geometry(), QRect(0, 0, 417, 153));
        QCOMPARE(cleaning.PP1->geometry(), QRect(32, 16, 353, 25));
        QCOMPARE(cleaning.Nows->geometry(), QRect(136, 48, 241, 25));
        QCOMPARE(cleaning.Nowf->geometry(), QRect(8, 80, 409, 25));
        QCOMPARE(cleaning.command1->geometry(), QRect(128, 112, 129, 25));
    };
    QString action;
    QString notRemovedHead;
    const auto during = world.during;
    world.during = [&](Frmdel& cleaning) {
        during(cleaning);
        if (handled(cleaning) == 1) {
            action = cleaning.Nowf->text();
            notRemovedHead = cleaning.lTem->headerItem()->text(0);
        }
    };
    click(world.window->command7);
    QVERIFY(checked);
    QCOMPARE(action, QString::fromUtf8("正在清理垃圾文件:  ") +
                         QString::fromStdString(world.tree.path("files/1.tmp")));
    QCOMPARE(notRemovedHead, QString::fromUtf8("未清除的垃圾文件"));
    const QImage backdrop(QStringLiteral(":/images/backdrop.png"));
    QCOMPARE(backdrop.size(), QSize(526, 116));
    QCOMPARE(backdrop.format(), QImage::Format_RGB32);  // a 24-bit picture, as Qt loads it
}

void CleaningWindowTest::scanButtonsRestDuringARun() {
    CleaningWorld world;
    Frm1& w = *world.window;
    click(w.Cmdsc);
    verifyButtons(w, {false, true, true});
    bool seen = false;
    world.during = [&](Frmdel& cleaning) {
        if (!seen && handled(cleaning) == 1) {
            seen = true;
            verifyButtons(w, {false, true, false});
            click(w.Cmdstop);  // Stop still works; Start waits for the run to end
            verifyButtons(w, {false, false, false});
        }
    };
    click(w.command8);
    QVERIFY(seen);
    verifyButtons(w, {true, false, true});
}

void CleaningWindowTest::closingTheMainWindowDuringARun() {
    CleaningWorld world;
    Frm1& w = *world.window;
    world.add("1.tmp");
    world.add("held.tmp");
    world.add("3.tmp");
    HeldByAnotherProcess held(world.tree.path("files/held.tmp"), HeldByAnotherProcess::Hold::Open);
    bool hidden = false;
    world.during = [&](Frmdel& cleaning) {
        if (!hidden && handled(cleaning) == 1) {
            w.close();
            hidden = !w.isVisible() && cleaning.isVisible();
        }
    };
    click(w.command7);
    QVERIFY(hidden);
    // The run went on in its own window and brought the main window back with what is left.
    QVERIFY(w.isVisible());
    QCOMPARE(world.rowsLeft(), QStringList{"held.tmp||0"});
    QCOMPARE(world.files(), std::set<std::string>{"held.tmp"});
}

void CleaningWindowTest::endsOnlyThroughCancelWhileAMainWindowClosedComesBack_data() {
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("runReturns");
    // Cancel answered Yes: the rows handled before are gone, the rest stay on disk.
    QTest::newRow("Cancel answered Yes") << "cancel-yes" << false;
    // The run goes on in its own window and brings the main window back at its end.
    QTest::newRow("main window closed during a run") << "close-main" << true;
}

void CleaningWindowTest::endsOnlyThroughCancelWhileAMainWindowClosedComesBack() {
    QFETCH(QString, scenario);
    QFETCH(bool, runReturns);
    TempTree tree(TempTree::Backing::MemoryWherePossible);
    for (int i = 0; i < 20; ++i) {
        tree.file("files/" + std::to_string(i) + ".tmp");
    }
    QVERIFY(test::runChild(scenario, tree.root()));
    QCOMPARE(std::filesystem::exists(tree.path("run-returned")), runReturns);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(tree.path("files"))) {
        files += entry.is_regular_file();
    }
    QFile handled(QString::fromStdString(tree.path("handled")));
    QVERIFY(handled.open(QIODevice::ReadOnly));
    const int before = handled.readAll().toInt();
    QVERIFY(before >= 5 && before < 20);
    QCOMPARE(files, runReturns ? 0 : 20 - before);
}

namespace {

// The child's half: the real pump, message box and program end. After five rows it either
// clicks Cancel and answers Yes, as a user would, or closes the main window.
int childProcess(const QString& scenario, const std::string& root) {
    test::FastClockSystem system;
    QtUiServices ui(system);
    Frm1 window(system, ui);
    for (int i = 0; i < 20; ++i) {
        const int row =
            window.junkList().append(root + "files/" + std::to_string(i) + ".tmp", root.size());
        window.junkList().setChecked(row, true);
    }
    bool acted = false;
    ui.setBeforeEvents([&] {
        window.publish();
        Frmdel* cleaning = window.cleaningWindow();
        if (acted || cleaning == nullptr || cleaning->run().progressValue() < 5) {
            return;
        }
        acted = true;
        // The click is handled in the events let through right after this: no row in between.
        QFile handled(QString::fromStdString(root + "handled"));
        handled.open(QIODevice::WriteOnly);
        handled.write(QByteArray::number(int(cleaning->run().progressValue())));
        if (scenario == QStringLiteral("close-main")) {
            QMetaObject::invokeMethod(&window, &QWidget::close, Qt::QueuedConnection);
            return;
        }
        // Answers the question once it shows, from inside its own event loop.
        auto* answer = new QTimer(cleaning);
        QObject::connect(answer, &QTimer::timeout, cleaning, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box->button(QMessageBox::Yes)->click();
            }
        });
        answer->start(10);
        QMetaObject::invokeMethod(cleaning->command1, &QAbstractButton::click,
                                  Qt::QueuedConnection);
    });
    window.show();
    QTimer::singleShot(0, &window, [&] {
        window.command7->click();
        if (window.isVisible()) {
            QFile(QString::fromStdString(root + "run-returned")).open(QIODevice::WriteOnly);
        }
        QCoreApplication::exit(0);
    });
    return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    return test::testMain<CleaningWindowTest>(argc, argv, childProcess);
}

#include "cleaning_window_test.moc"
