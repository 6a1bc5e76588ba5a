#include "clean/cleaning_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "app/controls.h"
#include "app/fonts.h"

namespace sweepwise {

Frmdel::Frmdel(JunkList& junk, platform::System& system, platform::UiServices& ui,
               CleaningHost& host)
    : m_ui(ui), m_run(junk, system, ui, *this, host) {
    setWindowTitle(QString::fromUtf8("正在清理垃圾文件..."));
    // A tool window: a narrow title bar with a close box only, and no button on the task bar.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(419, 149);  // 6285 x 2235 twips
    // A tool window would not keep the program running once the main window is closed.
    setAttribute(Qt::WA_QuitOnClose);

    Image1 = place(new QLabel(this), "Image1", QRect(0, 0, 417, 153));
    // Stretched once here rather than at every repaint of a running progress, to the screen's
    // pixels, so that a device-pixel ratio above 1 does not stretch it a second time.
    const qreal ratio = devicePixelRatioF();
    QPixmap backdrop =
        QPixmap(QStringLiteral(":/images/backdrop.png"))
            .scaled(Image1->size() * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    backdrop.setDevicePixelRatio(ratio);
    Image1->setPixmap(backdrop);

    PP1 = place(new QProgressBar(this), "PP1", QRect(32, 16, 353, 25));
    PP1->setRange(0, 100);
    PP1->setValue(0);
    PP1->setTextVisible(false);
    PP1->setAccessibleName(QString::fromUtf8("清理进度"));

    Nows = place(new QLabel(this), "Nows", QRect(136, 48, 241, 25));
    QPalette blue = Nows->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Nows->setPalette(blue);
    Nows->setAccessibleDescription(QString::fromUtf8("已清理的百分比"));

    lTem = place(new QTreeWidget(this), "lTem", QRect(176, 48, 33, 41));
    lTem->setColumnCount(0);
    lTem->setAccessibleName(QString::fromUtf8("未清除的垃圾文件"));
    lTem->hide();

    Nowf = place(new QLabel(QString::fromUtf8("正在清理..."), this), "Nowf", QRect(8, 80, 409, 25));

    command1 = place(new QPushButton(QString::fromUtf8("取消(&C)"), this), "command1",
                     QRect(128, 112, 129, 25));
    command1->setFont(songTi(9));

    setTabOrder(PP1, Nowf);
    setTabOrder(Nowf, command1);
    setTabOrder(command1, Nows);
    setTabOrder(Nows, lTem);

    connect(command1, &QPushButton::clicked, this, &Frmdel::command1Click);
}

Frmdel::~Frmdel() = default;

void Frmdel::load() {
    m_run.load();
}

void Frmdel::closeEvent(QCloseEvent* event) {
    // Whatever asks, the window stays until every row is handled.
    if (m_run.everyRowHandled()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void Frmdel::command1Click() {
    if (m_run.everyRowHandled()) {
        return;
    }
    if (m_ui.messageBox("垃圾文件尚未清理完毕，您确实要终止清理吗？",
                        platform::kMessageQuestionYesNo, "Sweepwise") == platform::kAnswerYes) {
        m_ui.endProgram();
    }
}

void Frmdel::showCentred() {
    sweepwise::showCentred(this);
}

void Frmdel::addNotRemovedColumn(std::string_view head) {
    lTem->setHeaderLabels({fromBytes(head)});
}

void Frmdel::showProgress(float value, float maximum) {
    m_value = value;
    m_maximum = maximum;
    m_changed = true;
}

void Frmdel::setActionText(std::string_view text) {
    m_action.assign(text);
    m_changed = true;
}

void Frmdel::setPercentText(std::string_view text) {
    m_percent.assign(text);
    m_changed = true;
}

void Frmdel::publish() {
    if (!m_changed) {
        return;
    }
    m_changed = false;
    PP1->setMaximum(static_cast<int>(m_maximum));
    PP1->setValue(static_cast<int>(m_value));
    if (!m_action.empty()) {
        setLabelText(Nowf, fromBytes(m_action));
    }
    setLabelText(Nows, fromBytes(m_percent));
}

void Frmdel::showNotRemoved(std::string_view path) {
    new QTreeWidgetItem(lTem, {fromBytes(path)});
}

std::string Frmdel::decimalPoint() {
    return QLocale().decimalPoint().toStdString();
}

void Frmdel::unload() {
    publish();
    close();
}

}  // namespace sweepwise
