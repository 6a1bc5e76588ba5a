#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QWindow>

#include "app/about_window.h"
#include "app/app_icon.h"
#include "app/controls.h"
#include "app/fonts.h"
#include "app/qt_ui_services.h"
#include "clean/cleaning_window.h"
#include "junklist/junk_list_model.h"
#include "junklist/selection_commands.h"

namespace sweepwise {

namespace {

// The frame that the window's outer size was laid out for: a 345-twip title bar, 60-twip borders.
constexpr QMargins kAssumedFrame{4, 23, 4, 4};

QPushButton* button(QWidget* parent, const char* name, const char* caption, const QRect& geometry,
                    QStyle::StandardPixmap picture = QStyle::SP_CustomBase) {
    auto* control = place(new QPushButton(QString::fromUtf8(caption), parent), name, geometry);
    if (picture != QStyle::SP_CustomBase) {
        control->setIcon(parent->style()->standardIcon(picture));
    }
    return control;
}

QFrame* line(QWidget* parent, const char* name, const QRect& geometry) {
    auto* control = place(new QFrame(parent), name, geometry);
    setBackground(control, QColor(128, 128, 255));
    return control;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, const QRect& geometry) {
    auto* control = place(new QCheckBox(QString::fromUtf8(caption), parent), name, geometry);
    control->setChecked(true);
    setBackground(control, Qt::white);
    return control;
}

// Keeps a count raised for as long as a command that pumps events runs.
struct RunScope {
    explicit RunScope(int& depth) : depth(depth) { ++depth; }
    ~RunScope() { --depth; }
    int& depth;
};

}  // namespace

Frm1::Frm1(platform::System& system, platform::UiServices& ui)
    : m_system(system),
      m_ui(ui),
      m_scan(m_state, m_junk, *this, ui),
      m_run(m_state, m_junk, m_scan, system, *this) {
    createControls();
    load();
    // A scan or cleaning run pauses inside the pump: when the program's last window closes, it
    // must not go on without one, so it ends at once.
    connect(qApp, &QGuiApplication::lastWindowClosed, this, [this] {
        if (runInProgress()) {
            m_ui.endProgram();
        }
    });
}

Frm1::~Frm1() {
    delete m_about;
    delete m_newVersion;
}

void Frm1::createControls() {
    setWindowTitle(QStringLiteral("Sweepwise Ver 2.15"));
    setWindowIcon(appIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setBackground(this, Qt::white);
    setFont(songTi(9));  // the captions were laid out for this face and size

    command2 = button(this, "command2", "退出(&Q)", twips(8280, 6960, 1335, 495));
    ttt = place(new QLineEdit(QStringLiteral("Text1"), this), "ttt", twips(6360, 3240, 2775, 270));
    ttt->setAccessibleName(QString::fromUtf8("正在扫描的文件夹"));
    ttt->hide();

    Frame1 = place(new QGroupBox(QString::fromUtf8("扫描设置"), this), "Frame1",
                   twips(120, 120, 6495, 2895));
    setBackground(Frame1, Qt::white);
    Picture2 = place(new QFrame(Frame1), "Picture2", twips(120, 720, 4935, 1935));
    {
        QPalette palette = Picture2->palette();
        palette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Base));
        palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::Text));
        Picture2->setPalette(palette);
        Picture2->setAutoFillBackground(true);
    }
    Picture2->setAccessibleName(QString::fromUtf8("自定义扫描"));
    Op2 = place(new QRadioButton(QString::fromUtf8("自定义扫描(&D)"), Frame1), "Op2",
                twips(360, 600, 1575, 300));
    setBackground(Op2, Qt::white);
    // The panel below overlaps the option's lower edge; the option stays visible above it.
    Op2->raise();

    Ch2 = checkBox(Picture2, "Ch2", "扫描IE缓存", twips(3000, 720, 2175, 255));
    Ch3 = checkBox(Picture2, "Ch3", "扫描IE Cookie", twips(3000, 960, 2175, 375));
    Ch1 = checkBox(Picture2, "Ch1", "扫描标准垃圾文件", twips(3000, 360, 2175, 255));
    ch4 = checkBox(Picture2, "ch4", "扫描所选硬盘分区", twips(3000, 1320, 2175, 255));
    ListD = place(new QListWidget(Picture2), "ListD", twips(120, 480, 2535, 1335));
    ListD->setViewMode(QListView::ListMode);
    ListD->setAccessibleName(QString::fromUtf8("硬盘分区"));
    Label1 = label(Picture2, "Label1", "请您选择要扫描的硬盘分区：", twips(120, 240, 2415, 255));
    setBackground(Label1, Qt::white);
    Line1 = line(Picture2, "Line1", QRect(pixels(2760), 0, 1, pixels(1800)));

    Op1 = place(new QRadioButton(QString::fromUtf8("快速扫描(推荐)(&P)"), Frame1), "Op1",
                twips(360, 240, 2055, 255));
    setBackground(Op1, Qt::white);
    Label3 = label(Frame1, "Label3", "垃圾文件的危害：", twips(4440, 360, 2415, 255));
    setTextColour(Label3, QColor(128, 0, 0));
    Label3->setFont(songTi(12, true));
    Label2 =
        label(Frame1, "Label2",
              "垃圾文件不仅占用大量硬盘空间，而且会大大降低系统电脑的速度，影响系统的执行效率。"
              "建议您时常进行垃圾文件清理。",
              twips(5160, 720, 1215, 1935));
    setTextColour(Label2, QColor(255, 0, 0));
    Label2->setWordWrap(true);
    // The label was sized for a face with little line spacing; the CJK faces here add more.
    Label2->setText(QStringLiteral("<p style=\"line-height:78%\">") + Label2->text() +
                    QStringLiteral("</p>"));
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Cmdstop =
        button(this, "Cmdstop", "终止扫描(&B)", twips(6840, 5520, 2775, 855), QStyle::SP_MediaStop);
    command9 = button(this, "command9", "关于本软件(&A)", twips(6840, 1320, 2775, 615),
                      QStyle::SP_MessageBoxInformation);
    command8 = button(this, "command8", "全部清理(&L)", twips(5520, 6960, 2655, 495),
                      QStyle::SP_DialogDiscardButton);
    command7 = button(this, "command7", "清理所选项(&W)", twips(3720, 6960, 1695, 495),
                      QStyle::SP_TrashIcon);
    command6 = button(this, "command6", "反向选择(&F)", twips(1920, 6960, 1695, 495),
                      QStyle::SP_DialogNoButton);
    command5 = button(this, "command5", "全部选择(&A)", twips(120, 6960, 1695, 495),
                      QStyle::SP_DialogYesButton);
    Cmdp = button(this, "Cmdp", "重新扫描(&P)", twips(6840, 4560, 2775, 855),
                  QStyle::SP_BrowserReload);
    Cmdsc =
        button(this, "Cmdsc", "开始扫描(&S)", twips(6840, 3600, 2775, 855), QStyle::SP_MediaPlay);
    command1 = button(this, "command1", "查看新版本(&N)", twips(6840, 2160, 2775, 615),
                      QStyle::SP_ArrowUp);

    Lm = place(new QTableView(this), "Lm", twips(120, 3600, 6495, 2775));
    Lm->setAccessibleName(QString::fromUtf8("已经扫描出的垃圾文件"));
    Lm->verticalHeader()->hide();
    // Fixed row heights keep the view's cost per row flat however long the list grows.
    Lm->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Lm->verticalHeader()->setDefaultSectionSize(Lm->fontMetrics().height() + 4);
    Lm->horizontalHeader()->setHighlightSections(false);
    Lm->setShowGrid(false);
    Lm->setWordWrap(false);
    Lm->setSelectionBehavior(QAbstractItemView::SelectRows);
    Lm->setSelectionMode(QAbstractItemView::SingleSelection);
    Lm->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A new row is selected without moving the view away from what the user looks at.
    Lm->setAutoScroll(false);

    Lf = label(this, "Lf", "", twips(120, 6480, 9495, 375));
    setTextColour(Lf, QColor(192, 0, 0));
    Lf->setAccessibleDescription(QString::fromUtf8("垃圾文件的数量和大小"));
    lls = label(this, "lls", "", twips(0, 7440, 9735, 255));
    setBackground(lls, Qt::white);
    lls->setAccessibleDescription(QString::fromUtf8("扫描状态"));
    Line2 = line(this, "Line2", QRect(pixels(6600), pixels(2040), pixels(3000), 1));
    ll = label(this, "ll", "已经扫描出的垃圾文件：", twips(120, 3360, 4335, 255));
    setBackground(ll, Qt::white);

    QWidget* const tabOrder[] = {Cmdstop, command9, command8, command7, command6, command5, Cmdp,
                                 Cmdsc,   command1, Op1,      ch4,      Ch1,      Ch3,      Ch2,
                                 ListD,   Lm,       Op2,      ttt,      command2};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    connect(Op1, &QRadioButton::clicked, this, &Frm1::Op1Click);
    connect(Op2, &QRadioButton::clicked, this, &Frm1::Op2Click);
    connect(ch4, &QCheckBox::clicked, this, &Frm1::ch4Click);
    connect(Cmdsc, &QPushButton::clicked, this, &Frm1::CmdscClick);
    connect(Cmdstop, &QPushButton::clicked, this, &Frm1::CmdstopClick);
    connect(Cmdp, &QPushButton::clicked, this, &Frm1::CmdpClick);
    connect(command1, &QPushButton::clicked, this, &Frm1::command1Click);
    connect(command2, &QPushButton::clicked, this, &Frm1::command2Click);
    connect(command5, &QPushButton::clicked, this, &Frm1::command5Click);
    connect(command6, &QPushButton::clicked, this, &Frm1::command6Click);
    connect(command7, &QPushButton::clicked, this, &Frm1::command7Click);
    connect(command8, &QPushButton::clicked, this, &Frm1::command8Click);
    connect(command9, &QPushButton::clicked, this, &Frm1::command9Click);

    holdSize();
}

void Frm1::load() {
    m_model = std::make_unique<JunkListModel>(m_junk);
    connect(m_model.get(), &JunkListModel::changesPending, this, &Frm1::schedulePublish);
    m_publishLater.setSingleShot(true);
    m_publishLater.setInterval(QtUiServices::kRefreshInterval);
    connect(&m_publishLater, &QTimer::timeout, this, &Frm1::publishQueued);
    Lm->setModel(m_model.get());

    m_state.DriveScanMode = false;
    TemporaryFile("");  // leaves its empty file behind; the folder is not needed here
    m_rescanWanted = false;
    Cmdp->setEnabled(false);
    Cmdstop->setEnabled(false);

    for (const std::string& drive : m_system.fixedDrives()) {
        auto* row = new QListWidgetItem(fromBytes(drive), ListD);
        row->setData(Qt::UserRole, QByteArray(drive.data(), qsizetype(drive.size())));
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(Qt::Checked);
        row->setForeground(QColor(0, 0, 255));
    }

    m_model->addColumn(QString::fromUtf8("垃圾文件路径"));
    m_model->addColumn(QString::fromUtf8("文件大小(Byte)"));
    Lm->setColumnWidth(0, pixels(4600));
    Lm->setColumnWidth(1, pixels(1800));

    Op1->setChecked(true);
    Op1Click();
    ListD->setEnabled(false);
    for (QCheckBox* box : {Ch1, Ch2, Ch3, ch4}) {
        box->setEnabled(false);
    }
}

std::optional<std::string> Frm1::TemporaryFile(std::string_view prefix) {
    return m_system.TemporaryFile(prefix);
}

std::optional<std::string> Frm1::GetWinTemdir() {
    return m_system.GetWinTemdir();
}

std::optional<std::string> Frm1::GetNetTemdir() {
    return m_system.GetNetTemdir();
}

std::optional<std::string> Frm1::GetCookiesDir() {
    return m_system.GetCookiesDir();
}

void Frm1::holdSize() {
    // The outer size wins: the client area is whatever is left inside the platform's frame.
    QMargins frame = kAssumedFrame;
    if (windowHandle() != nullptr && isVisible()) {
        frame = windowHandle()->frameMargins();
    }
    const QSize client = kOuterSize.shrunkBy(frame);
    if (client != m_clientSize) {
        m_clientSize = client;
        setFixedSize(client);  // tells the window manager, which then offers no resizing
    } else if (size() != client && !isMinimized()) {
        resize(client);  // without a window manager nothing else holds the size
    }
}

void Frm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    holdSize();
    if (!m_centred) {
        m_centred = true;
        if (const QScreen* where = screen()) {
            const QPoint centre = where->availableGeometry().center();
            move(centre.x() - kOuterSize.width() / 2, centre.y() - kOuterSize.height() / 2);
        }
    }
}

void Frm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    holdSize();
}

void Frm1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    }
    // A restore may bring back a size from before; it could not be undone while minimized.
    if (!isMinimized()) {
        holdSize();
    }
}

void Frm1::schedulePublish() {
    // A queued call shows the changes even when no loop pumps events.
    if (!m_publishQueued) {
        m_publishQueued = true;
        QMetaObject::invokeMethod(this, &Frm1::publishQueued, Qt::QueuedConnection);
    }
}

void Frm1::publishQueued() {
    if (!m_publishQueued) {
        return;  // a refresh has shown them
    }
    if (m_ui.pumping()) {
        // A loop pumps: its refresh shows the changes at the pace the eye can follow, while
        // painting them at every pump would slow the loop down. Should the loop end before
        // its next refresh, this shows them then.
        m_publishLater.start();
        return;
    }
    publish();
}

void Frm1::publish(bool lists) {
    if (lists) {
        m_publishQueued = false;
        m_publishLater.stop();
        m_model->publish();
        if (m_junk.selected() != m_shownSelection) {
            m_shownSelection = m_junk.selected();
            if (m_shownSelection > 0) {
                Lm->selectionModel()->setCurrentIndex(
                    m_model->index(m_shownSelection - 1, 0),
                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            }
        }
    }
    if (m_statusChanged) {
        m_statusChanged = false;
        setLabelText(lls, fromBytes(m_statusText));
    }
    if (m_countChanged) {
        m_countChanged = false;
        setLabelText(Lf, fromBytes(m_countText));
    }
    // The cleaning window too: it repaints its backdrop and bar for every change, at a cost
    // that the run's 3 ms steps would feel.
    if (m_cleaning && lists) {
        m_cleaning->publish();
    }
}

void Frm1::Op1Click() {
    ListD->setEnabled(false);
    for (QCheckBox* box : {Ch1, Ch2, Ch3, ch4}) {
        box->setEnabled(false);
    }
}

void Frm1::Op2Click() {
    for (QCheckBox* box : {Ch1, Ch2, Ch3, ch4}) {
        box->setEnabled(true);
    }
    if (ch4->checkState() == Qt::Checked) {
        ListD->setEnabled(true);
    }
}

void Frm1::ch4Click() {
    ListD->setEnabled(ch4->checkState() == Qt::Checked);
}

void Frm1::CmdscClick() {
    RunScope running(m_runDepth);
    m_run.Start();
}

void Frm1::CmdstopClick() {
    m_run.Stop();
}

void Frm1::CmdpClick() {
    RunScope running(m_runDepth);
    m_run.Rescan();
}

// The About and new-version windows: modeless, without owner, one of each at most.
void Frm1::command9Click() {
    if (m_about) {
        m_about->raise();
        m_about->activateWindow();
        return;
    }
    m_about = new Frmabout;
    showCentred(m_about);
}

void Frm1::command1Click() {
    if (m_newVersion) {
        m_newVersion->raise();
        m_newVersion->activateWindow();
        return;
    }
    m_newVersion = new Frmnew(m_browserFactory);
    showCentred(m_newVersion);
}

void Frm1::command2Click() {
    m_ui.endProgram();
}

void Frm1::command5Click() {
    SelectAll(m_junk);
}

void Frm1::command6Click() {
    InvertSelection(m_junk);
}

void Frm1::command7Click() {
    if (m_junk.count() == 0) {
        m_ui.messageBox("无垃圾文件可清理！请先执行垃圾文件扫描。", platform::kMessageInformation,
                        "提示");
        return;
    }
    if (m_cleaning) {
        return;  // clicked during a run's pause: the window is loaded, no second run starts
    }
    RunScope running(m_runDepth);
    // A scan started now would replace the rows the run is working through.
    m_cleaning =
        std::make_unique<Frmdel>(m_junk, m_system, m_ui, static_cast<CleaningHost&>(*this));
    applyScanButtons();
    m_cleaning->load();
    m_cleaning.reset();
    applyScanButtons();
}

void Frm1::command8Click() {
    command5Click();
    command7Click();
}

void Frm1::showMainWindow() {
    show();
}

void Frm1::setStatusText(std::string_view text) {
    m_statusText.assign(text);
    m_statusChanged = true;
    schedulePublish();
}

void Frm1::setCountText(std::string_view text) {
    m_countText.assign(text);
    m_countChanged = true;
    schedulePublish();
}

void Frm1::setScanButtons(bool startEnabled, bool stopEnabled, bool rescanEnabled) {
    m_rescanWanted = rescanEnabled;
    Cmdstop->setEnabled(stopEnabled);
    m_startWanted = startEnabled;
    applyScanButtons();
}

void Frm1::applyScanButtons() {
    Cmdp->setEnabled(m_rescanWanted && !m_cleaning);
    Cmdsc->setEnabled(m_startWanted && !m_cleaning);
}

bool Frm1::quickScanSelected() {
    return Op1->isChecked();
}

bool Frm1::optionTicked(ScanOption option) {
    switch (option) {
        case ScanOption::StandardJunk:
            return Ch1->checkState() == Qt::Checked;
        case ScanOption::InternetCache:
            return Ch2->checkState() == Qt::Checked;
        case ScanOption::Cookies:
            return Ch3->checkState() == Qt::Checked;
        case ScanOption::SelectedDrives:
            return ch4->checkState() == Qt::Checked;
    }
    return false;
}

int Frm1::driveCount() {
    return ListD->count();
}

bool Frm1::driveTicked(int row) {
    const QListWidgetItem* item = ListD->item(row - 1);
    return item != nullptr && item->checkState() == Qt::Checked;
}

std::string Frm1::driveRoot(int row) {
    const QListWidgetItem* item = ListD->item(row - 1);
    const QByteArray bytes =
        item != nullptr ? item->data(Qt::UserRole).toByteArray() : QByteArray();
    return {bytes.constData(), std::size_t(bytes.size())};
}

void Frm1::setCurrentRoot(std::string_view root) {
    m_currentRoot.assign(root);
    ttt->setText(fromBytes(root));  // shown decoded; the root itself keeps its bytes
}

std::string Frm1::currentRoot() {
    return m_currentRoot;
}

}  // namespace sweepwise
