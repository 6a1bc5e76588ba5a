#pragma once

#include <QCoreApplication>
#include <QLabel>
#include <QTextDocument>
#include <QtTest>
#include <functional>

#include "app/about_window.h"
#include "app/app_world.h"
#include "app/new_version_window.h"
#include "clean/cleaning_window.h"

namespace sweepwise::test {

class BlankBrowser : public WebBrowser {
public:
    using WebBrowser::WebBrowser;
    void Navigate(const QUrl&) override {}
};

// Each window in a state that shows its texts: the main window after a quick scan, the About
// and new-version windows, and the cleaning window once the run has handled every row (its
// texts then are the last of the run). Runs f on each, in that order.
inline void forEachWindow(const std::function<void(QWidget*)>& f) {
    World world;
    Frm1& w = world.open();
    w.setBrowserFactory([](QWidget* parent) { return new BlankBrowser(parent); });
    click(w.Cmdsc);
    QCoreApplication::processEvents();
    f(&w);
    click(w.command9);
    f(w.aboutWindow());
    click(w.command1);
    f(w.newVersionWindow());
    bool seen = false;
    world.ui.onPump = [&] {
        w.publish();
        Frmdel* cleaning = w.cleaningWindow();
        if (!seen && cleaning != nullptr && cleaning->run().everyRowHandled()) {
            seen = true;
            f(cleaning);
        }
    };
    click(w.command8);
    QVERIFY(seen);
}

// A label's text as it reads, without the markup of a rich text.
inline QString plainText(const QLabel* label) {
    if (label->textFormat() == Qt::PlainText || !Qt::mightBeRichText(label->text())) {
        return label->text();
    }
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

}  // namespace sweepwise::test
