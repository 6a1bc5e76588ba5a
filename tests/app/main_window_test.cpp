#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <memory>

#include "app/app_world.h"
#include "app/fonts.h"
#include "app/main_window.h"
#include "app/qt_ui_services.h"

using namespace sweepwise;
using test::click;
using test::clickRowCheckBox;
using test::FakeSystem;
using test::TempTree;
using test::TestUi;
using test::verifyButtons;
using test::World;

namespace {

const QStringList kQuickRows{"temp/a.log", "wintemp/w.txt", "net/n/cache.bin",
                             "cookies/user@site.txt"};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startUpState();
    void controlsStandWhereTheyWereLaidOut_data();
    void controlsStandWhereTheyWereLaidOut();
    void fontsAndColours();
    void keepsItsOuterSizeAndStartsCentred();
    void optionHandling_data();
    void optionHandling();
    void quickScanListsTheFourJunkFolders();
    void customScan_data();
    void customScan();
    void unknownLocationsAreSkipped();
    void rescanWhileIdleGivesTheSecondRun();
    void stopAfterARunOnlyChangesTheButtons();
    void stopDuringAWalkRecordsNothingMore();
    void rescanDuringAWalk();
    void startAfterStopWhileTheStoppedWalkGoesOn();
    void emptyCustomStartAfterStopLetsTheWalkRecordAgain();
    void ticksDuringAScan();
    void listShowsPathBytesDecodedAndSizes();
    void whileALoopPumpsChangesWaitForItsRefreshOrItsEnd();
    void webEngineWaitsForTheNewVersionWindow();
    void exitAndCloseDuringAScanEndTheProgramAtOnce_data();
    void exitAndCloseDuringAScanEndTheProgramAtOnce();
};

void MainWindowTest::startUpState() {
    World world;
    Frm1& w = world.open();

    QCOMPARE(w.windowTitle(), QString::fromUtf8("Sweepwise Ver 2.15"));
    verifyButtons(w, {true, false, false});
    for (QPushButton* other :
         {w.command2, w.command9, w.command8, w.command7, w.command6, w.command5, w.command1}) {
        QVERIFY2(other->isEnabled(), qPrintable(other->objectName()));
    }
    QVERIFY(w.Op1->isChecked());
    QVERIFY(!w.Op2->isChecked());
    for (QCheckBox* box : {w.Ch1, w.Ch2, w.Ch3, w.ch4}) {
        QCOMPARE(box->checkState(), Qt::Checked);
        QVERIFY(!box->isEnabled());
    }
    QVERIFY(!w.ListD->isEnabled());
    QCOMPARE(w.ListD->count(), 2);
    for (int row = 0; row < 2; ++row) {
        const QListWidgetItem* item = w.ListD->item(row);
        QCOMPARE(item->text().toStdString(), world.system.drives[row]);
        QCOMPARE(item->checkState(), Qt::Checked);
        QCOMPARE(item->foreground().color(), QColor(0, 0, 255));
    }
    QCOMPARE(w.Lm->model()->rowCount(), 0);
    QCOMPARE(w.Lm->model()->columnCount(), 2);
    QCOMPARE(w.Lm->model()->headerData(0, Qt::Horizontal).toString(),
             QString::fromUtf8("垃圾文件路径"));
    QCOMPARE(w.Lm->model()->headerData(1, Qt::Horizontal).toString(),
             QString::fromUtf8("文件大小(Byte)"));
    QCOMPARE(w.Lm->columnWidth(0), 307);
    QCOMPARE(w.Lm->columnWidth(1), 120);
    QCOMPARE(w.ll->text(), QString::fromUtf8("已经扫描出的垃圾文件："));
    QCOMPARE(w.Lf->text(), QString());
    QCOMPARE(w.lls->text(), QString());
    QVERIFY(w.ttt->isHidden());
    QCOMPARE(w.ttt->text(), QStringLiteral("Text1"));
    QVERIFY(!w.scanState().DriveScanMode);

    // Loading asked for the temporary folder once, which left its empty file there.
    QCOMPARE(world.system.temporaryFileCalls, 1);
    QVERIFY(QFile::exists(QString::fromStdString(*world.system.temp + "TMP1.tmp")));

    // The focus moves among the controls in the laid-out order.
    const QList<QWidget*> order{w.Cmdstop,  w.command9, w.command8, w.command7, w.command6,
                                w.command5, w.Cmdp,     w.Cmdsc,    w.command1, w.Op1,
                                w.ch4,      w.Ch1,      w.Ch3,      w.Ch2,      w.ListD,
                                w.Lm,       w.Op2,      w.ttt,      w.command2};
    QList<QWidget*> chain;
    QWidget* at = w.Cmdstop;
    do {
        if (order.contains(at) && !chain.contains(at)) {
            chain << at;
        }
        at = at->nextInFocusChain();
    } while (at != w.Cmdstop);
    QCOMPARE(chain, order);
}

void MainWindowTest::controlsStandWhereTheyWereLaidOut_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    auto row = [](const char* name, const char* caption, QRect twips) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(caption) << twips;
    };
    row("command2", "退出(&Q)", {8280, 6960, 1335, 495});
    row("ttt", "Text1", {6360, 3240, 2775, 270});
    row("Frame1", "扫描设置", {120, 120, 6495, 2895});
    row("Op2", "自定义扫描(&D)", {360, 600, 1575, 300});
    row("Picture2", "", {120, 720, 4935, 1935});
    row("Ch2", "扫描IE缓存", {3000, 720, 2175, 255});
    row("Ch3", "扫描IE Cookie", {3000, 960, 2175, 375});
    row("Ch1", "扫描标准垃圾文件", {3000, 360, 2175, 255});
    row("ch4", "扫描所选硬盘分区", {3000, 1320, 2175, 255});
    row("ListD", "", {120, 480, 2535, 1335});
    row("Label1", "请您选择要扫描的硬盘分区：", {120, 240, 2415, 255});
    row("Op1", "快速扫描(推荐)(&P)", {360, 240, 2055, 255});
    row("Label3", "垃圾文件的危害：", {4440, 360, 2415, 255});
    row("Cmdstop", "终止扫描(&B)", {6840, 5520, 2775, 855});
    row("command9", "关于本软件(&A)", {6840, 1320, 2775, 615});
    row("command8", "全部清理(&L)", {5520, 6960, 2655, 495});
    row("command7", "清理所选项(&W)", {3720, 6960, 1695, 495});
    row("command6", "反向选择(&F)", {1920, 6960, 1695, 495});
    row("command5", "全部选择(&A)", {120, 6960, 1695, 495});
    row("Cmdp", "重新扫描(&P)", {6840, 4560, 2775, 855});
    row("Cmdsc", "开始扫描(&S)", {6840, 3600, 2775, 855});
    row("command1", "查看新版本(&N)", {6840, 2160, 2775, 615});
    row("Lm", "", {120, 3600, 6495, 2775});
    row("Lf", "", {120, 6480, 9495, 375});
    row("lls", "", {0, 7440, 9735, 255});
    row("ll", "已经扫描出的垃圾文件：", {120, 3360, 4335, 255});
}

void MainWindowTest::controlsStandWhereTheyWereLaidOut() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    World world;
    Frm1& w = world.open();
    auto* control = w.findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    const QRect pixels(qRound(twips.x() / 15.0), qRound(twips.y() / 15.0),
                       qRound(twips.width() / 15.0), qRound(twips.height() / 15.0));
    QCOMPARE(control->geometry(), pixels);
    QString text;
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        text = button->text();
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        text = label->text();
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        text = edit->text();
    } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
        text = frame->title();
    }
    QCOMPARE(text, caption);
}

void MainWindowTest::fontsAndColours() {
    World world;
    Frm1& w = world.open();
    // "宋体" resolves to a Simplified Chinese face even where SimSun itself is missing.
    const QFontInfo label3(w.Label3->font());
    QVERIFY2(label3.family().contains(QStringLiteral("SC")) ||
                 label3.family() == QStringLiteral("SimSun"),
             qPrintable(label3.family()));
    QVERIFY(label3.bold());
    QCOMPARE(w.Label3->font().pointSizeF(), 12.0);
    QCOMPARE(w.Label3->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    QCOMPARE(w.Label2->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(w.Lf->palette().color(QPalette::WindowText), QColor(192, 0, 0));
    QCOMPARE(w.Line1->palette().color(QPalette::Window), QColor(128, 128, 255));
    QCOMPARE(w.Line2->palette().color(QPalette::Window), QColor(128, 128, 255));
    QCOMPARE(w.palette().color(QPalette::Window), QColor(Qt::white));
    for (QWidget* white : {static_cast<QWidget*>(w.Op1), static_cast<QWidget*>(w.Ch1),
                           static_cast<QWidget*>(w.lls), static_cast<QWidget*>(w.ll)}) {
        QCOMPARE(white->palette().color(white->backgroundRole()), QColor(Qt::white));
        QVERIFY(white->autoFillBackground());
    }
    // The warning's whole text fits its label.
    QVERIFY2(w.Label2->heightForWidth(w.Label2->width()) <= w.Label2->height() + 1,
             qPrintable(QString::number(w.Label2->heightForWidth(w.Label2->width()))));
}

void MainWindowTest::keepsItsOuterSizeAndStartsCentred() {
    World world;
    Frm1& w = world.open();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QCOMPARE(w.frameGeometry().size(), Frm1::kOuterSize);
    const QPoint centre = w.screen()->availableGeometry().center();
    QVERIFY(qAbs(w.frameGeometry().center().x() - centre.x()) <= 1);
    QVERIFY(qAbs(w.frameGeometry().center().y() - centre.y()) <= 1);

    // A resize from outside, as a window manager's drag would give, springs back.
    w.windowHandle()->resize(800, 700);
    QTRY_COMPARE(w.frameGeometry().size(), Frm1::kOuterSize);
    w.showMaximized();
    QTRY_COMPARE(w.frameGeometry().size(), Frm1::kOuterSize);
    w.showMinimized();
    QCoreApplication::processEvents();
    w.showNormal();
    QTRY_COMPARE(w.frameGeometry().size(), Frm1::kOuterSize);
}

void MainWindowTest::optionHandling_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("boxesEnabled");
    QTest::addColumn<bool>("drivesEnabled");
    QTest::addColumn<QString>("ticks");  // Ch1 Ch2 Ch3 ch4, then each drive row
    QTest::newRow("custom scan enables everything ticked")
        << QStringList{"Op2"} << true << true << "111111";
    QTest::newRow("unticking ch4 disables the drives, ticks kept")
        << QStringList{"Op2", "ch4"} << true << false << "111011";
    QTest::newRow("ticking ch4 again enables them")
        << QStringList{"Op2", "ch4", "ch4"} << true << true << "111111";
    QTest::newRow("quick scan disables all, ticks kept")
        << QStringList{"Op2", "Ch2", "Op1"} << false << false << "101111";
    QTest::newRow("custom again brings the ticks back")
        << QStringList{"Op2", "Ch2", "Op1", "Op2"} << true << true << "101111";
    QTest::newRow("custom with ch4 unticked leaves the drives disabled")
        << QStringList{"Op2", "ch4", "Op1", "Op2"} << true << false << "111011";
    QTest::newRow("disabled boxes ignore clicks")
        << QStringList{"Ch1", "ch4"} << false << false << "111111";
}

void MainWindowTest::optionHandling() {
    QFETCH(QStringList, clicks);
    QFETCH(bool, boxesEnabled);
    QFETCH(bool, drivesEnabled);
    QFETCH(QString, ticks);
    World world;
    Frm1& w = world.open();
    for (const QString& name : clicks) {
        click(w.findChild<QAbstractButton*>(name));
    }
    QString actual;
    for (QCheckBox* box : {w.Ch1, w.Ch2, w.Ch3, w.ch4}) {
        QCOMPARE(box->isEnabled(), boxesEnabled);
        actual += box->checkState() == Qt::Checked ? '1' : '0';
    }
    QCOMPARE(w.ListD->isEnabled(), drivesEnabled);
    for (int row = 0; row < w.ListD->count(); ++row) {
        actual += w.ListD->item(row)->checkState() == Qt::Checked ? '1' : '0';
    }
    QCOMPARE(actual, ticks);
}

void MainWindowTest::quickScanListsTheFourJunkFolders() {
    World world;
    Frm1& w = world.open();
    click(w.Cmdsc);

    QCOMPARE(world.rows(), kQuickRows);
    JunkList& junk = w.junkList();
    QCOMPARE(junk.size(1), 3);
    QCOMPARE(junk.size(4), 8);
    QCOMPARE(w.Lm->model()->index(3, 1).data().toString(), QStringLiteral("8"));
    QCOMPARE(w.Lm->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(world.shown(w.Lf), QString::fromUtf8("已发现垃圾文件4 个，总计大小共24Byte"));
    QCOMPARE(world.shown(w.lls), QString::fromUtf8("扫描完成。"));
    QCOMPARE(w.Lm->currentIndex().row(), 3);
    verifyButtons(w, {false, true, true});
    QCOMPARE(w.ttt->text().toStdString(), world.tree.path("cookies/"));
    QVERIFY(!w.scanState().DriveScanMode);
    QCOMPARE(w.scanState().JunkBytes, 24);
    // The scan's own call of the temporary-folder locator made one more empty file.
    QCOMPARE(world.system.temporaryFileCalls, 2);
}

void MainWindowTest::customScan_data() {
    QTest::addColumn<QString>("untick");  // the boxes and drive rows unticked before Start
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("driveMode");
    QTest::newRow("nothing ticked") << "Ch1 Ch2 Ch3 ch4" << QStringList{} << false;
    QTest::newRow("standard junk only")
        << "Ch2 Ch3 ch4" << QStringList{"temp/a.log", "wintemp/w.txt"} << false;
    QTest::newRow("internet cache only")
        << "Ch1 Ch3 ch4" << QStringList{"net/n/cache.bin"} << false;
    QTest::newRow("cookies only") << "Ch1 Ch2 ch4" << QStringList{"cookies/user@site.txt"} << false;
    QTest::newRow("standard junk and the drives")
        << "Ch2 Ch3" << QStringList{"temp/a.log", "wintemp/w.txt", "c/c1.tmp", "d/d1.bak"} << true;
    QTest::newRow("drives with no row ticked")
        << "Ch1 Ch2 Ch3 drive1 drive2" << QStringList{} << false;
    QTest::newRow("second drive only") << "Ch1 Ch2 Ch3 drive1" << QStringList{"d/d1.bak"} << true;
}

void MainWindowTest::customScan() {
    QFETCH(QString, untick);
    QFETCH(QStringList, expected);
    QFETCH(bool, driveMode);
    World world;
    Frm1& w = world.open();
    click(w.Op2);
    for (const QString& name : untick.split(' ', Qt::SkipEmptyParts)) {
        if (name.startsWith(QStringLiteral("drive"))) {
            w.ListD->item(name.back().digitValue() - 1)->setCheckState(Qt::Unchecked);
        } else {
            click(w.findChild<QCheckBox*>(name));
        }
    }
    click(w.Cmdsc);
    QCOMPARE(world.rows(), expected);
    QCOMPARE(w.scanState().DriveScanMode, driveMode);
    QCOMPARE(world.shown(w.lls), QString::fromUtf8("扫描完成。"));
    if (expected.isEmpty()) {
        QCOMPARE(world.shown(w.Lf), QString());  // a run that records nothing leaves it
    }
    verifyButtons(w, {false, true, true});
}

void MainWindowTest::unknownLocationsAreSkipped() {
    World world;
    world.system.netTemp.reset();
    world.system.cookies.reset();
    Frm1& w = world.open();
    click(w.Cmdsc);
    QCOMPARE(world.rows(), (QStringList{"temp/a.log", "wintemp/w.txt"}));
    QCOMPARE(world.shown(w.lls), QString::fromUtf8("扫描完成。"));
}

void MainWindowTest::rescanWhileIdleGivesTheSecondRun() {
    World world;
    Frm1& w = world.open();
    click(w.Cmdsc);
    int clears = 0;
    world.tree.file("temp/second.log", 1);
    w.junkList().append("/left/over");
    QObject::connect(w.Lm->model(), &QAbstractItemModel::modelReset, &w, [&clears] { ++clears; });
    click(w.Cmdp);
    QCOMPARE(clears, 3);
    QStringList expected = kQuickRows;
    expected.insert(1, QStringLiteral("temp/second.log"));
    const QStringList rows = world.rows();
    QCOMPARE(rows.size(), expected.size());
    QCOMPARE(QSet<QString>(rows.begin(), rows.end()),
             QSet<QString>(expected.begin(), expected.end()));
    QCOMPARE(world.system.temporaryFileCalls, 4);
    verifyButtons(w, {false, true, true});
}

void MainWindowTest::stopAfterARunOnlyChangesTheButtons() {
    World world;
    Frm1& w = world.open();
    click(w.Cmdsc);
    const QString count = world.shown(w.Lf);
    click(w.Cmdstop);
    verifyButtons(w, {true, false, true});
    QCOMPARE(world.rows(), kQuickRows);
    QCOMPARE(world.shown(w.Lf), count);
    QCOMPARE(world.shown(w.lls), QString::fromUtf8("扫描完成。"));
}

void MainWindowTest::stopDuringAWalkRecordsNothingMore() {
    World world;
    world.tree.file("temp/more/b.log", 4);
    Frm1& w = world.open();
    world.atRows(1, [&] {
        click(w.Cmdstop);
        verifyButtons(w, {true, false, true});
    });
    click(w.Cmdsc);
    QCOMPARE(world.rows(), QStringList{"temp/a.log"});
    QCOMPARE(world.shown(w.Lf), QString::fromUtf8("已发现垃圾文件1 个，总计大小共3Byte"));
    QCOMPARE(world.shown(w.lls), QString::fromUtf8("扫描完成。"));
    QCOMPARE(w.scanState().JunkBytes, 0);
    verifyButtons(w, {true, false, true});
    // Every remaining root was still walked: the last one passed through the hidden field.
    QCOMPARE(w.ttt->text().toStdString(), world.tree.path("cookies/"));
}

void MainWindowTest::rescanDuringAWalk() {
    World world;
    Frm1& w = world.open();
    world.atRows(1, [&] { click(w.Cmdp); });
    click(w.Cmdsc);
    // The rescan's first run cannot search the paused root, its second runs whole; then the
    // interrupted run goes on with its own remaining roots.
    QCOMPARE(world.rows(), kQuickRows + kQuickRows.mid(1));
    QCOMPARE(world.shown(w.Lf), QString::fromUtf8("已发现垃圾文件7 个，总计大小共45Byte"));
    QCOMPARE(world.shown(w.lls), QString::fromUtf8("扫描完成。"));
    verifyButtons(w, {false, true, true});
}

void MainWindowTest::startAfterStopWhileTheStoppedWalkGoesOn() {
    World world;
    world.tree.file("temp/more/b.log", 4);
    Frm1& w = world.open();
    int stage = 0;
    world.ui.onPump = [&] {
        w.publish();
        if (stage == 0 && w.junkList().count() == 1) {
            stage = 1;
            click(w.Cmdstop);
        } else if (stage == 1) {
            stage = 2;
            click(w.Cmdsc);  // enabled again by Stop
        }
    };
    click(w.Cmdsc);
    const QStringList rest = kQuickRows.mid(1);
    QCOMPARE(world.rows(), rest + rest);
    verifyButtons(w, {false, true, true});
    QCOMPARE(world.shown(w.lls), QString::fromUtf8("扫描完成。"));
}

void MainWindowTest::emptyCustomStartAfterStopLetsTheWalkRecordAgain() {
    World world;
    world.tree.file("temp/more/b.log", 4);
    Frm1& w = world.open();
    click(w.Op2);
    for (QCheckBox* box : {w.Ch2, w.Ch3, w.ch4}) {
        click(box);
    }
    int stage = 0;
    world.ui.onPump = [&] {
        w.publish();
        if (stage == 0 && w.junkList().count() == 1) {
            stage = 1;
            click(w.Cmdstop);
            click(w.Ch1);  // the next Start covers nothing and calls no search
        } else if (stage == 1) {
            stage = 2;
            click(w.Cmdsc);
        }
    };
    click(w.Cmdsc);
    // That Start emptied the list and cleared the stop: the paused walk records again.
    QVERIFY(!world.rows().contains(QStringLiteral("temp/a.log")));
    QVERIFY(world.rows().contains(QStringLiteral("wintemp/w.txt")));
}

void MainWindowTest::ticksDuringAScan() {
    World world;
    world.tree.file("temp/more/b.log", 4);
    Frm1& w = world.open();
    int stage = 0;
    world.ui.onPump = [&] {
        w.publish();
        if (stage == 0 && w.junkList().count() == 1) {
            stage = 1;
            clickRowCheckBox(w.Lm, 0);
            QVERIFY(w.junkList().checked(1));
        } else if (stage == 1 && w.junkList().count() == 3) {
            stage = 2;
            click(w.command5);  // Select all: the rows so far
        }
    };
    click(w.Cmdsc);
    JunkList& junk = w.junkList();
    QCOMPARE(junk.count(), 5);
    QString ticks;
    for (int i = 1; i <= junk.count(); ++i) {
        ticks += junk.checked(i) ? '1' : '0';
    }
    QCOMPARE(ticks, QStringLiteral("11100"));
    QCoreApplication::processEvents();
    QCOMPARE(w.Lm->model()->index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    click(w.command6);
    QCOMPARE(junk.checked(1), false);
    QCOMPARE(junk.checked(5), true);
}

void MainWindowTest::whileALoopPumpsChangesWaitForItsRefreshOrItsEnd() {
    World world;
    Frm1& window = world.open();
    // Events run in the pump, but no refresh comes: nothing may show until the loop ends.
    world.ui.pumpingNow = true;
    int shownDuring = 0;
    QString statusDuring;
    world.ui.onPump = [&] {
        QCoreApplication::processEvents();
        shownDuring = std::max(shownDuring, window.Lm->model()->rowCount());
        statusDuring = window.lls->text();
    };
    window.Cmdsc->click();
    world.ui.pumpingNow = false;
    QCOMPARE(shownDuring, 0);
    QCOMPARE(statusDuring, QString());
    QCOMPARE(window.junkList().count(), 4);
    QTRY_COMPARE(window.Lm->model()->rowCount(), 4);
    QCOMPARE(window.lls->text(), QStringLiteral("扫描完成。"));
    QCOMPARE(window.Lf->text(), QStringLiteral("已发现垃圾文件4 个，总计大小共24Byte"));
}

void MainWindowTest::listShowsPathBytesDecodedAndSizes() {
    World world;
    world.tree.file("temp/\xff\xfe.log", std::int64_t{5} << 30);
    Frm1& w = world.open();
    click(w.Cmdsc);
    QCOMPARE(world.rows().size(), 5);
    QCoreApplication::processEvents();
    JunkList& junk = w.junkList();
    int row = 1;
    while (!junk.path(row).ends_with(".log") || junk.path(row).ends_with("a.log")) {
        ++row;
    }
    QCOMPARE(std::string(junk.path(row)), world.tree.path("temp/\xff\xfe.log"));
    const QModelIndex cell = w.Lm->model()->index(row - 1, 0);
    QCOMPARE(cell.data().toString(), QString::fromStdString(world.tree.path("temp/")) +
                                         QString(2, QChar(0xFFFD)) + QStringLiteral(".log"));
    QCOMPARE(w.Lm->model()->index(row - 1, 1).data().toString(), QStringLiteral("5368709120"));
}

void MainWindowTest::webEngineWaitsForTheNewVersionWindow() {
    World world;
    Frm1& w = world.open();
    click(w.command9);
    click(w.Cmdsc);
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    QVERIFY(!maps.readAll().contains("WebEngine"));
}

void MainWindowTest::exitAndCloseDuringAScanEndTheProgramAtOnce_data() {
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("scanReturns");
    QTest::newRow("exit during a scan") << "exit" << false;
    QTest::newRow("closing the window during a scan") << "close" << false;
    QTest::newRow("closing the window when idle") << "close-idle" << true;
    QTest::newRow("an About window keeps the program running") << "close-with-about" << true;
}

void MainWindowTest::exitAndCloseDuringAScanEndTheProgramAtOnce() {
    QFETCH(QString, scenario);
    QFETCH(bool, scanReturns);
    TempTree tree(TempTree::Backing::MemoryWherePossible);
    for (int i = 0; i < 3000; ++i) {
        tree.file("temp/f" + std::to_string(i) + ".log");
    }
    QVERIFY(test::runChild(scenario, tree.root()));
    QCOMPARE(QFile::exists(QString::fromStdString(tree.path("scan-returned"))), scanReturns);
    QVERIFY(QFile::exists(QString::fromStdString(tree.path("temp/f2999.log"))));
}

// The child's half: the real pump and program end, and a window scanning the fixture.
namespace {

int childProcess(const QString& scenario, const std::string& root) {
    test::FastClockSystem system;
    system.temp = root + "temp/";
    QtUiServices ui(system);
    Frm1 window(system, ui);
    bool acted = false;
    ui.setBeforeEvents([&] {
        window.publish();
        if (!acted && window.junkList().count() >= 1) {
            acted = true;
            if (scenario == QStringLiteral("exit")) {
                QMetaObject::invokeMethod(window.command2, &QAbstractButton::click,
                                          Qt::QueuedConnection);
            } else {
                QMetaObject::invokeMethod(&window, &QWidget::close, Qt::QueuedConnection);
            }
        }
    });
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, &window, [&] {
        if (window.runInProgress()) {
            ui.endProgram();
        }
    });
    window.show();
    if (scenario == QStringLiteral("close-with-about")) {
        QTimer::singleShot(0, &window, [&] {
            window.command9->click();
            window.close();
        });
        QTimer::singleShot(300, &window, [&] {
            QFile(QString::fromStdString(root + "scan-returned")).open(QIODevice::WriteOnly);
            window.aboutWindow()->close();  // the program's last window: it ends now
        });
        return QApplication::exec();
    }
    QTimer::singleShot(0, &window, [&] {
        if (scenario == QStringLiteral("close-idle")) {
            QFile(QString::fromStdString(root + "scan-returned")).open(QIODevice::WriteOnly);
            window.close();
            return;
        }
        window.Cmdsc->click();
        QFile(QString::fromStdString(root + "scan-returned")).open(QIODevice::WriteOnly);
        QCoreApplication::exit(0);  // should not be reached: the parent sees the marker
    });
    return QApplication::exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    return test::testMain<MainWindowTest>(argc, argv, childProcess);
}

#include "main_window_test.moc"
