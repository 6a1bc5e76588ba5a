#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include "app/about_window.h"
#include "app/app_world.h"
#include "app/fonts.h"
#include "app/new_version_window.h"
#include "clean/cleaning_window.h"

using namespace sweepwise;
using test::click;
using test::World;

namespace {

// Stands in for the web engine: records where it was asked to go.
class RecordingBrowser : public WebBrowser {
public:
    using WebBrowser::WebBrowser;
    void Navigate(const QUrl& address) override { navigations << address; }
    static inline QList<QUrl> navigations;
};

int windowsOf(const char* className) {
    int count = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        count += window->inherits(className) && window->isVisible() ? 1 : 0;
    }
    return count;
}

void verifyCentred(QWidget* window) {
    const QPoint centre = window->screen()->availableGeometry().center();
    QVERIFY(qAbs(window->frameGeometry().center().x() - centre.x()) <= 1);
    QVERIFY(qAbs(window->frameGeometry().center().y() - centre.y()) <= 1);
}

void discardClosed() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct Place {
    QWidget* control;
    QString text;
    QRect twips;
};

void verifyPlaces(const QList<Place>& places) {
    for (const Place& place : places) {
        const QRect& t = place.twips;
        QCOMPARE(place.control->geometry(),
                 QRect(qRound(t.x() / 15.0), qRound(t.y() / 15.0), qRound(t.width() / 15.0),
                       qRound(t.height() / 15.0)));
        if (auto* label = qobject_cast<QLabel*>(place.control); label && !place.text.isNull()) {
            QCOMPARE(label->text(), place.text);
            // A one-line text that fits its label.
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->text()));
        }
        if (auto* button = qobject_cast<QPushButton*>(place.control)) {
            QCOMPARE(button->text(), place.text);
        }
    }
}

}  // namespace

class SmallWindowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { RecordingBrowser::navigations.clear(); }
    void aboutOpensOnceAndAnewAfterClosing();
    void aboutAsLaidOut();
    void newVersionNavigatesOncePerOpening();
    void newVersionAsLaidOut();
    void bothOpenDuringAScanAndACleaningRunWithoutDisturbingThem();
};

void SmallWindowsTest::aboutOpensOnceAndAnewAfterClosing() {
    World world;
    Frm1& w = world.open();
    click(w.command9);
    Frmabout* first = w.aboutWindow();
    QVERIFY(first != nullptr);
    click(w.command9);
    QCOMPARE(w.aboutWindow(), first);
    QCOMPARE(windowsOf("sweepwise::Frmabout"), 1);
    QVERIFY(first->parentWidget() == nullptr);  // modeless and without owner
    verifyCentred(first);

    // The main window stays usable meanwhile.
    click(w.Cmdsc);
    QCOMPARE(w.junkList().count(), 4);

    first->move(10, 10);
    click(first->command1);
    discardClosed();
    QVERIFY(w.aboutWindow() == nullptr);
    QCOMPARE(windowsOf("sweepwise::Frmabout"), 0);

    click(w.command9);
    QVERIFY(w.aboutWindow() != nullptr);
    verifyCentred(w.aboutWindow());
    w.aboutWindow()->close();  // the close box does the same as OK
    discardClosed();
    QVERIFY(w.aboutWindow() == nullptr);
}

void SmallWindowsTest::aboutAsLaidOut() {
    World world;
    Frm1& w = world.open();
    click(w.command9);
    Frmabout& about = *w.aboutWindow();
    QCOMPARE(about.windowTitle(), QString::fromUtf8("关于 Sweepwise"));
    QCOMPARE(about.size(), QSize(319, 231));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QVERIFY(!(about.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(about.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!about.windowIcon().isNull());
    QCOMPARE(about.palette().color(QPalette::Window), QColor(Qt::white));
    verifyPlaces({
        {about.Image1, {}, {120, 240, 480, 480}},
        {about.Label1, "Sweepwise", {840, 360, 3855, 495}},
        {about.Label5, QString::fromUtf8("软件版本:2.15"), {840, 960, 2175, 255}},
        {about.Label2, QString::fromUtf8("技术支持：sweepwise.app"), {840, 1320, 2895, 255}},
        {about.Label3, QString::fromUtf8("开发：Sweepwise 团队"), {840, 1680, 2895, 375}},
        {about.Label4, QString::fromUtf8("电子邮件：help@sweepwise.app"), {840, 2160, 3015, 255}},
        {about.command1, QString::fromUtf8("确定"), {840, 2760, 2775, 375}},
    });
    QCOMPARE(about.Image1->pixmap().size(), QSize(32, 32));
    QCOMPARE(about.Label1->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    QVERIFY(about.Label1->font().bold() && about.Label1->font().italic());
    QCOMPARE(about.Label1->font().pointSizeF(), 15.0);
    // The button is the only control that takes the focus.
    for (QWidget* label :
         {static_cast<QWidget*>(about.Label1), static_cast<QWidget*>(about.Image1)}) {
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    }
    QVERIFY(about.command1->focusPolicy() != Qt::NoFocus);
}

void SmallWindowsTest::newVersionNavigatesOncePerOpening() {
    World world;
    Frm1& w = world.open();
    w.setBrowserFactory([](QWidget* parent) { return new RecordingBrowser(parent); });
    click(w.command1);
    Frmnew* first = w.newVersionWindow();
    QVERIFY(first != nullptr);
    click(w.command1);
    QCOMPARE(w.newVersionWindow(), first);
    QCOMPARE(windowsOf("sweepwise::Frmnew"), 1);
    QCOMPARE(RecordingBrowser::navigations, QList<QUrl>{kNewVersionPage});
    QCOMPARE(kNewVersionPage.scheme(), QStringLiteral("https"));
    verifyCentred(first);

    click(first->command1);
    discardClosed();
    QVERIFY(w.newVersionWindow() == nullptr);
    click(w.command1);
    QVERIFY(w.newVersionWindow() != nullptr);
    QCOMPARE(RecordingBrowser::navigations, (QList<QUrl>{kNewVersionPage, kNewVersionPage}));
}

void SmallWindowsTest::newVersionAsLaidOut() {
    World world;
    Frm1& w = world.open();
    w.setBrowserFactory([](QWidget* parent) { return new RecordingBrowser(parent); });
    click(w.command1);
    Frmnew& window = *w.newVersionWindow();
    QCOMPARE(window.windowTitle(), QString::fromUtf8("查看新版本"));
    QVERIFY(window.windowFlags() & Qt::Tool);
    QVERIFY(
        !(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(window.size(), QSize(312, 299));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QVERIFY(window.testAttribute(Qt::WA_QuitOnClose));
    QCOMPARE(window.palette().color(QPalette::Window),
             QApplication::palette().color(QPalette::HighlightedText));
    verifyPlaces({
        {window.Label1, QString::fromUtf8("您现在使用的版本是 2.15"), {120, 240, 4335, 375}},
        {window.W1, {}, {120, 720, 4335, 3015}},
        {window.command1, QString::fromUtf8("确定"), {1200, 3960, 1935, 375}},
    });
    QCOMPARE(window.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    QCOMPARE(window.Label1->font().pointSizeF(), 10.5);
    QVERIFY(!window.windowIcon().isNull());
}

void SmallWindowsTest::bothOpenDuringAScanAndACleaningRunWithoutDisturbingThem() {
    World world;
    Frm1& w = world.open();
    w.setBrowserFactory([](QWidget* parent) { return new RecordingBrowser(parent); });
    world.atRows(1, [&] {
        click(w.command9);
        click(w.command1);
    });
    click(w.Cmdsc);
    QCOMPARE(w.junkList().count(), 4);
    QVERIFY(w.aboutWindow() != nullptr && w.newVersionWindow() != nullptr);
    w.aboutWindow()->close();
    w.newVersionWindow()->close();
    discardClosed();

    bool opened = false;
    world.ui.onPump = [&] {
        w.publish();
        if (!opened && w.cleaningWindow() != nullptr &&
            w.cleaningWindow()->run().progressValue() == 1) {
            opened = true;
            click(w.command9);
            click(w.command1);
        }
    };
    click(w.command8);
    QVERIFY(opened);
    QCOMPARE(w.junkList().count(), 0);
    QCOMPARE(world.system.sleeps, (std::vector<int>{50, 50, 3, 3, 3, 3}));
    QVERIFY(w.aboutWindow() != nullptr && w.newVersionWindow() != nullptr);
    QCOMPARE(RecordingBrowser::navigations.size(), 2);
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    setUpFonts();
    SmallWindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "small_windows_test.moc"
