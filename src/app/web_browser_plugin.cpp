// The embedded web browser, in a library of its own: loading the web engine costs a lot of
// memory and start-up time, which only the new-version window should pay, and only when it opens.
#include <unistd.h>

#include <QtWebEngineQuick/qtwebenginequickglobal.h>
#include <QVBoxLayout>
#include <QWebEngineView>

#include "app/new_version_window.h"

namespace {

class WebEngineBrowser : public sweepwise::WebBrowser {
public:
    explicit WebEngineBrowser(QWidget* parent)
        : WebBrowser(parent), m_view(new QWebEngineView(this)) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_view);
        m_view->page();  // starts the engine now rather than at the first page
    }
    void Navigate(const QUrl& address) override { m_view->load(address); }

private:
    QWebEngineView* m_view;
};

}  // namespace

extern "C" Q_DECL_EXPORT sweepwise::WebBrowser* sweepwise_create_web_browser(QWidget* parent) {
    // The engine refuses to start as root with its sandbox on; only then is it turned off.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    // The engine wants its shared graphics context made before the application object, which
    // would cost every start of the program: made now, it works the same. It reports at length
    // how it starts, none of which is for the user.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static const bool initialized = (QtWebEngineQuick::initialize(), true);
    (void)initialized;
    auto* browser = new WebEngineBrowser(parent);
    qInstallMessageHandler(previous);
    return browser;
}
