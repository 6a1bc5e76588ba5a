#include <QLabel>
#include <QWebEngineView>
#include <QtTest>

#include "app/app_world.h"
#include "app/fonts.h"
#include "app/new_version_window.h"

using namespace sweepwise;
using test::click;
using test::World;

// The real web engine on a real display, where no page can be reached.
class WebBrowserTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTheEnginesOwnFailurePageAndCloses();
};

void WebBrowserTest::showsTheEnginesOwnFailurePageAndCloses() {
    World world;
    Frm1& w = world.open();
    click(w.command1);
    Frmnew* window = w.newVersionWindow();
    QVERIFY(window != nullptr);
    auto* view = window->findChild<QWebEngineView*>();
    if (view == nullptr) {
        const auto* why = window->W1->findChild<QLabel*>();
        QSKIP(qPrintable(QStringLiteral("the web engine cannot be loaded here: ") +
                         (why != nullptr ? why->text() : QString())));
    }
    QCOMPARE(window->Label1->text(), QString::fromUtf8("您现在使用的版本是 2.15"));

    QSignalSpy finished(view, &QWebEngineView::loadFinished);
    bool terminated = false;
    connect(view->page(), &QWebEnginePage::renderProcessTerminated, this,
            [&terminated] { terminated = true; });
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty() || terminated, 60000);
    if (terminated) {
        QSKIP("the web engine's page process cannot start here");
    }
    if (finished.first().first().toBool()) {
        QSKIP("the page loaded: this machine reaches the network, so no failure page shows");
    }
    QString text;
    view->page()->toPlainText([&text](const QString& shown) { text = shown; });
    QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 10000);
    QVERIFY2(text.contains(QStringLiteral("ERR_")), qPrintable(text));
    QCOMPARE(view->url(), kNewVersionPage);

    click(window->command1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(w.newVersionWindow() == nullptr);
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    setUpFonts();
    WebBrowserTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "web_browser_test.moc"
