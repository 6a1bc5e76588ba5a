// Every window at a device-pixel ratio of 2: the layout in device-independent pixels is the
// one at ratio 1, so the physical size scales as a whole, and every text fits its control.
#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTableView>
#include <QtTest>

#include "app/controls.h"
#include "desktop/window_states.h"

using namespace sweepwise;
using test::forEachWindow;

namespace {

constexpr qreal kRatio = 2;

QStringList layoutOf(QWidget* window) {
    QStringList lines;
    const auto place = [](const QWidget* widget) {
        const QRect r = widget->geometry();
        return QStringLiteral("%1 %2 %3 %4 %5 %6")
            .arg(widget->objectName())
            .arg(r.x())
            .arg(r.y())
            .arg(r.width())
            .arg(r.height())
            .arg(widget->isVisible() ? "shown" : "hidden");
    };
    // The main window keeps its outer size, whatever the frame; the others their inner one.
    const QSize kept =
        qobject_cast<Frm1*>(window) ? window->frameGeometry().size() : window->size();
    lines << QStringLiteral("%1 %2x%3")
                 .arg(window->metaObject()->className())
                 .arg(kept.width())
                 .arg(kept.height());
    for (const QWidget* child : window->findChildren<QWidget*>()) {
        if (!child->objectName().isEmpty()) {
            lines << place(child);
        }
    }
    if (const auto* list = window->findChild<QTableView*>(QStringLiteral("Lm"))) {
        lines << QStringLiteral("Lm columns %1 %2, rows %3 high")
                     .arg(list->columnWidth(0))
                     .arg(list->columnWidth(1))
                     .arg(list->verticalHeader()->defaultSectionSize());
    }
    return lines;
}

QStringList layouts() {
    QStringList lines;
    forEachWindow([&lines](QWidget* window) { lines << layoutOf(window); });
    return lines;
}

// The glyphs of a line of text as drawn in a rectangle with an alignment: the line's box is
// taller than the glyphs (ascent, descent and the face's own spacing), and only the glyphs need
// room.
QRect ink(const QFontMetrics& metrics, const QRect& room, Qt::Alignment alignment,
          const QString& text) {
    const QRect line = metrics.boundingRect(room, int(alignment) | Qt::TextSingleLine, text);
    return metrics.tightBoundingRect(text).translated(line.left(), line.top() + metrics.ascent());
}

// The texts whose glyphs do not lie inside their controls in this window, each with where they
// are drawn and the room they have.
QStringList misfits(QWidget* window) {
    QStringList found;
    const auto report = [&found](const QWidget* widget, const QString& text, const QRect& drawn,
                                 const QRect& room) {
        if (!room.contains(drawn)) {
            found << QStringLiteral("%1 \"%2\" drawn at %3,%4 %5x%6 in %7,%8 %9x%10")
                         .arg(widget->objectName(), text)
                         .arg(drawn.x())
                         .arg(drawn.y())
                         .arg(drawn.width())
                         .arg(drawn.height())
                         .arg(room.x())
                         .arg(room.y())
                         .arg(room.width())
                         .arg(room.height());
        }
    };
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisible()) {
            continue;
        }
        const QFontMetrics metrics = widget->fontMetrics();
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(button);
            const QRect room =
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            const QString text = spokenCaption(button->text());
            // The picture and the caption are centred together.
            int width = metrics.horizontalAdvance(text);
            if (!button->icon().isNull()) {
                width += button->iconSize().width() + 4;
            }
            QRect drawn = ink(metrics, room, Qt::AlignCenter, text);
            drawn.setLeft(room.center().x() - width / 2);
            drawn.setWidth(width);
            report(button, text, drawn, room);
        } else if (auto* box = qobject_cast<QAbstractButton*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(box);
            const auto element = qobject_cast<QRadioButton*>(box) ? QStyle::SE_RadioButtonContents
                                                                  : QStyle::SE_CheckBoxContents;
            const QRect room = box->style()->subElementRect(element, &option, box);
            const QString text = spokenCaption(box->text());
            report(box, text, ink(metrics, room, Qt::AlignLeft | Qt::AlignVCenter, text), room);
        } else if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            const QRect room = label->contentsRect();
            if (label->wordWrap()) {
                report(label, test::plainText(label),
                       QRect(room.topLeft(),
                             QSize(room.width(), label->heightForWidth(label->width()))),
                       room);
            } else {
                report(label, test::plainText(label),
                       ink(metrics, room, label->alignment(), test::plainText(label)), room);
            }
        } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
            report(frame, frame->title(),
                   ink(metrics, frame->rect(), Qt::AlignLeft | Qt::AlignTop, frame->title()),
                   frame->rect());
        } else if (auto* table = qobject_cast<QTableView*>(widget)) {
            const QHeaderView* head = table->horizontalHeader();
            const int margin = head->style()->pixelMetric(QStyle::PM_HeaderMargin);
            for (int column = 0; column < head->count(); ++column) {
                const QString text = table->model()->headerData(column, Qt::Horizontal).toString();
                const QRect room = QRect(head->sectionPosition(column), 0,
                                         head->sectionSize(column), head->height())
                                       .adjusted(margin, 0, -margin, 0);
                report(table, text,
                       ink(head->fontMetrics(), room, Qt::AlignLeft | Qt::AlignVCenter, text),
                       room);
            }
        }
    }
    return found;
}

}  // namespace

class HighDpiTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void layoutIsTheOneAtRatioOne();
    void picturesHaveTheScreensPixels();
    void everyTextFitsItsControl();
};

void HighDpiTest::layoutIsTheOneAtRatioOne() {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--layout")});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitCode(), 0);
    const QStringList atOne =
        QString::fromUtf8(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(layouts(), atOne);

    forEachWindow([](QWidget* window) {
        QCOMPARE(window->devicePixelRatio(), kRatio);
        // What is painted has twice the pixels each way: the whole window scales.
        QCOMPARE(window->grab().size(), window->size() * kRatio);
    });
}

// Pictures are drawn from their sources at the screen's pixels, not stretched a second time.
void HighDpiTest::picturesHaveTheScreensPixels() {
    forEachWindow([](QWidget* window) {
        for (const QLabel* picture : window->findChildren<QLabel*>()) {
            if (!picture->pixmap().isNull()) {
                QCOMPARE(picture->pixmap().devicePixelRatio(), kRatio);
                QCOMPARE(picture->pixmap().size(), picture->size() * kRatio);
            }
        }
    });
}

void HighDpiTest::everyTextFitsItsControl() {
    forEachWindow([](QWidget* window) {
        QCOMPARE(window->devicePixelRatio(), kRatio);
        const QStringList found = misfits(window);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QStringLiteral("; "))));
    });
}

int main(int argc, char* argv[]) {
    const bool layoutOnly = argc == 2 && QByteArray(argv[1]) == "--layout";
    if (!layoutOnly) {
        qputenv("QT_SCALE_FACTOR", QByteArray::number(kRatio));
    }
    QApplication app(argc, argv);
    setUpFonts();
    if (layoutOnly) {
        for (const QString& line : layouts()) {
            std::printf("%s\n", line.toUtf8().constData());
        }
        return 0;
    }
    HighDpiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "high_dpi_test.moc"
