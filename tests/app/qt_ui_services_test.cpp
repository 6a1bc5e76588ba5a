#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/qt_ui_services.h"
#include "common/fake_system.h"

using sweepwise::QtUiServices;
using sweepwise::test::FakeSystem;
namespace platform = sweepwise::platform;

class QtUiServicesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void eventsRunOnlyAfterTheIntervalAndRefreshesLessOften();
    void messageBoxesGiveTheAnswer_data();
    void messageBoxesGiveTheAnswer();
};

void QtUiServicesTest::eventsRunOnlyAfterTheIntervalAndRefreshesLessOften() {
    FakeSystem system;
    system.clock += std::chrono::seconds(1);
    QtUiServices ui(system);
    int refreshes = 0;
    int listRefreshes = 0;
    int beforeEvents = 0;
    ui.setRefresh([&](bool lists) {
        ++refreshes;
        listRefreshes += lists ? 1 : 0;
    });
    ui.setBeforeEvents([&beforeEvents] { ++beforeEvents; });
    int delivered = 0;
    const auto post = [&delivered, this] {
        QMetaObject::invokeMethod(
            this, [&delivered] { ++delivered; }, Qt::QueuedConnection);
    };

    post();
    ui.pump();  // the first call lets events through
    QCOMPARE(delivered, 1);
    post();
    for (int i = 0; i < 1000; ++i) {
        ui.pump();  // the clock stands still: nothing runs, however often it is called
    }
    QCOMPARE(delivered, 1);
    system.clock += QtUiServices::kPumpInterval;
    ui.pump();
    QCOMPARE(delivered, 2);

    // Over 1 s of pumps every millisecond: events every 5 ms, refreshes every 16 ms (at least
    // 16 ms apart), and the lists in them every 100 ms.
    beforeEvents = refreshes = listRefreshes = 0;
    for (int ms = 0; ms < 1000; ++ms) {
        system.clock += std::chrono::milliseconds(1);
        ui.pump();
    }
    QCOMPARE(beforeEvents, 200);
    QVERIFY2(refreshes >= 50 && refreshes <= 63, qPrintable(QString::number(refreshes)));
    QVERIFY2(listRefreshes >= 9 && listRefreshes <= 10, qPrintable(QString::number(listRefreshes)));
}

void QtUiServicesTest::messageBoxesGiveTheAnswer_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("icon");
    QTest::newRow("information, OK")
        << 64 << int(QMessageBox::Ok) << platform::kAnswerOk << int(QMessageBox::Information);
    QTest::newRow("question, Yes")
        << 36 << int(QMessageBox::Yes) << platform::kAnswerYes << int(QMessageBox::Question);
    QTest::newRow("question, No") << 36 << int(QMessageBox::No) << platform::kAnswerNo
                                  << int(QMessageBox::Question);
}

void QtUiServicesTest::messageBoxesGiveTheAnswer() {
    QFETCH(int, flags);
    QFETCH(int, button);
    QFETCH(int, answer);
    QFETCH(int, icon);
    FakeSystem system;
    QtUiServices ui(system);
    QString title, text;
    int shownIcon = -1;
    bool yesIsDefault = false;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        title = box->windowTitle();
        text = box->text();
        shownIcon = box->icon();
        yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
        box->button(QMessageBox::StandardButton(button))->click();
    });
    QCOMPARE(ui.messageBox("正文", flags, "标题"), answer);
    QCOMPARE(title, QString::fromUtf8("标题"));
    QCOMPARE(text, QString::fromUtf8("正文"));
    QCOMPARE(shownIcon, icon);
    QCOMPARE(yesIsDefault, flags == 36);
}

QTEST_MAIN(QtUiServicesTest)
#include "qt_ui_services_test.moc"
