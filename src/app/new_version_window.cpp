#include "app/new_version_window.h"

#include <QApplication>
#include <QLabel>
#include <QLibrary>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/app_icon.h"
#include "app/controls.h"
#include "app/fonts.h"

namespace sweepwise {

Frmnew::Frmnew(const BrowserFactory& browser) {
    setWindowTitle(QString::fromUtf8("查看新版本"));
    setWindowIcon(appIcon());
    // A tool window: a small title bar with a close box, and no button on the task bar. It still
    // keeps the program running when the main window has been closed.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_QuitOnClose);
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(songTi(9));
    setBackground(this, QApplication::palette().color(QPalette::HighlightedText));
    setFixedSize(pixels(4680), pixels(4485));

    Label1 = label(this, "Label1", "您现在使用的版本是 2.15", twips(120, 240, 4335, 375));
    setTextColour(Label1, QColor(0, 0, 192));
    Label1->setFont(songTi(10.5));
    W1 = place(browser(this), "W1", twips(120, 720, 4335, 3015));
    W1->setAccessibleName(QString::fromUtf8("新版本介绍"));
    command1 = place(new QPushButton(QString::fromUtf8("确定"), this), "command1",
                     twips(1200, 3960, 1935, 375));
    connect(command1, &QPushButton::clicked, this, &QWidget::close);

    W1->Navigate(kNewVersionPage);
}

namespace {

// Where the browser library cannot be loaded, the window still opens and says so.
class MissingBrowser : public WebBrowser {
public:
    MissingBrowser(QWidget* parent, const QString& why) : WebBrowser(parent) {
        auto* text = new QLabel(why, this);
        text->setWordWrap(true);
        (new QVBoxLayout(this))->addWidget(text);
    }
    void Navigate(const QUrl&) override {}
};

using CreateBrowser = WebBrowser* (*)(QWidget*);

}  // namespace

BrowserFactory webEngineBrowser() {
    return [](QWidget* parent) -> WebBrowser* {
        static CreateBrowser create = nullptr;
        static QString failure;
        if (create == nullptr && failure.isEmpty()) {
            // Beside the program in a build, in its library folder once installed.
            const QString here = QCoreApplication::applicationDirPath();
            for (const QString& path : {here + QStringLiteral("/libsweepwise_webbrowser.so"),
                                        here + QStringLiteral("/" SWEEPWISE_MODULE_FROM_PROGRAM
                                                              "/libsweepwise_webbrowser.so")}) {
                QLibrary library(path);
                // Loading the engine warns that it was not set up before the application was.
                const QtMessageHandler previous = qInstallMessageHandler(
                    [](QtMsgType, const QMessageLogContext&, const QString&) {});
                create = reinterpret_cast<CreateBrowser>(
                    library.resolve("sweepwise_create_web_browser"));
                qInstallMessageHandler(previous);
                if (create != nullptr) {
                    break;
                }
                failure = library.errorString();
            }
        }
        if (create != nullptr) {
            return create(parent);
        }
        return new MissingBrowser(parent, failure);
    };
}

}  // namespace sweepwise
