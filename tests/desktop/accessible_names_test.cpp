// Every control of every window carries the name that screen readers and automation read: its
// caption without the access-key marker, or, for lists, labels and pictures, what they hold.
#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

#include "app/controls.h"
#include "desktop/window_states.h"

using namespace sweepwise;
using test::forEachWindow;

namespace {

// Lines and the cleaning window's backdrop are drawing, not controls: nothing to read or press.
bool decoration(const QWidget* window, const QWidget* widget) {
    const QString name = widget->objectName();
    return name == QStringLiteral("Line1") || name == QStringLiteral("Line2") ||
           (qobject_cast<const Frmdel*>(window) != nullptr && name == QStringLiteral("Image1"));
}

// Every control but the decoration, with the name a screen reader gets and the one it should.
QStringList wrongNames(QWidget* window) {
    QStringList wrong;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        // The others are the inner parts of a control, such as a list's scroll bars and heads.
        if (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_") ||
            decoration(window, widget)) {
            continue;
        }
        const QString read = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
        QString expected = read.isEmpty() ? QStringLiteral("(a name)") : read;
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            expected = spokenCaption(button->text());
        } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
            expected = frame->title();
        } else if (auto* label = qobject_cast<QLabel*>(widget); label && label->pixmap().isNull()) {
            expected = test::plainText(label);
            // An empty label still says what it is for.
            if (expected.isEmpty() && label->accessibleDescription().isEmpty()) {
                wrong << widget->objectName() + QStringLiteral(": empty, no description");
            }
        }
        if (read != expected) {
            wrong << QStringLiteral("%1: \"%2\", not \"%3\"")
                         .arg(widget->objectName(), read, expected);
        }
    }
    return wrong;
}

}  // namespace

class AccessibleNamesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyControlIsNamed();
    void namesOfTheMainWindow();
};

void AccessibleNamesTest::everyControlIsNamed() {
    int windows = 0;
    forEachWindow([&windows](QWidget* window) {
        ++windows;
        const QStringList wrong = wrongNames(window);
        QVERIFY2(wrong.isEmpty(),
                 qPrintable(QString::fromLatin1(window->metaObject()->className()) +
                            QStringLiteral(": ") + wrong.join(QStringLiteral("; "))));
    });
    QCOMPARE(windows, 4);
}

// Those that are not captions, and the labels' names after their texts changed.
void AccessibleNamesTest::namesOfTheMainWindow() {
    test::World world;
    Frm1& w = world.open();
    const auto name = [](QWidget* widget) {
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    };
    QCOMPARE(name(w.Lm), QString::fromUtf8("已经扫描出的垃圾文件"));
    QCOMPARE(name(w.ListD), QString::fromUtf8("硬盘分区"));
    QCOMPARE(name(w.Picture2), QString::fromUtf8("自定义扫描"));
    QCOMPARE(name(w.Cmdsc), QString::fromUtf8("开始扫描(S)"));
    QCOMPARE(name(w.Op1), QString::fromUtf8("快速扫描(推荐)(P)"));
    QCOMPARE(name(w.Label2),
             QString::fromUtf8("垃圾文件不仅占用大量硬盘空间，而且会大大降低系统电脑的"
                               "速度，影响系统的执行效率。建议您时常进行垃圾文件清理。"));
    QCOMPARE(name(w.lls), QString());
    test::click(w.Cmdsc);
    QCoreApplication::processEvents();
    QCOMPARE(name(w.lls), QString::fromUtf8("扫描完成。"));
    QCOMPARE(name(w.Lf), QString::fromUtf8("已发现垃圾文件4 个，总计大小共24Byte"));
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    setUpFonts();
    AccessibleNamesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "accessible_names_test.moc"
