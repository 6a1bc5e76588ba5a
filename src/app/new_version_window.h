#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace sweepwise {

// The page about the newest version, built into the program.
inline const QUrl kNewVersionPage{QStringLiteral("https://sweepwise.app/new-version")};

// An embedded browser; the real one lives in a library of its own, loaded on first use, so that
// the main window never pays for the web engine.
class WebBrowser : public QWidget {
public:
    using QWidget::QWidget;
    virtual void Navigate(const QUrl& address) = 0;
};

using BrowserFactory = std::function<WebBrowser*(QWidget* parent)>;

// The new-version window: the running version and the product's page about the newest one.
class Frmnew : public QWidget {
    Q_OBJECT

public:
    explicit Frmnew(const BrowserFactory& browser);

    QLabel* Label1;
    WebBrowser* W1;
    QPushButton* command1;
};

// Loads the web-engine browser on first call; a stand-in that says why where it cannot load.
BrowserFactory webEngineBrowser();

}  // namespace sweepwise
