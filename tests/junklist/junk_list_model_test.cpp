#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

#include "junklist/junk_list_model.h"

using sweepwise::JunkList;
using sweepwise::JunkListModel;

class JunkListModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowsReachTheViewInBatches();
    void ticksAreReadAndFlippedInTheStore();
    void clearingResetsAtOnce();
};

void JunkListModelTest::rowsReachTheViewInBatches() {
    JunkList junk;
    JunkListModel model(junk);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.addColumn(QStringLiteral("path"));
    model.addColumn(QStringLiteral("size"));
    QSignalSpy pending(&model, &JunkListModel::changesPending);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    for (int i = 0; i < 1000; ++i) {
        const int position = junk.append("/t/" + std::to_string(i) + ".tmp");
        junk.setSize(position, i);
    }
    QCOMPARE(model.rowCount(), 0);  // the view hears of them only when they are published
    QCOMPARE(pending.count(), 1);
    model.publish();
    QCOMPARE(model.rowCount(), 1000);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 0);
    QCOMPARE(inserted.at(0).at(2).toInt(), 999);
    QCOMPARE(model.index(999, 0).data().toString(), QStringLiteral("/t/999.tmp"));
    QCOMPARE(model.index(999, 1).data().toString(), QStringLiteral("999"));

    junk.append("/t/no-size");
    model.publish();
    QCOMPARE(model.index(1000, 1).data().toString(), QString());
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("size"));
}

void JunkListModelTest::ticksAreReadAndFlippedInTheStore() {
    JunkList junk;
    JunkListModel model(junk);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.addColumn(QStringLiteral("path"));
    model.addColumn(QStringLiteral("size"));
    for (int i = 0; i < 10; ++i) {
        junk.append("/t/" + std::to_string(i));
    }
    model.publish();
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);
    QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsUserCheckable));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(model.index(3, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(junk.checked(4));
    junk.setChecked(9, true);  // 1-based: the view's row 8
    QCOMPARE(model.index(8, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    model.publish();
    // Both changes reach the view as one range.
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 3);
    QCOMPARE(changed.at(0).at(1).toModelIndex().row(), 8);
    QVERIFY(!model.setData(model.index(3, 1), Qt::Checked, Qt::CheckStateRole));
}

void JunkListModelTest::clearingResetsAtOnce() {
    JunkList junk;
    JunkListModel model(junk);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.addColumn(QStringLiteral("path"));
    junk.append("/a");
    junk.append("/b");
    model.publish();
    junk.setChecked(2, true);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    junk.clear();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 0);
    junk.append("/c");
    model.publish();  // the change to the row that went with the clear is not told
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("/c"));
}

QTEST_GUILESS_MAIN(JunkListModelTest)
#include "junk_list_model_test.moc"
