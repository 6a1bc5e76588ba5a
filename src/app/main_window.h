#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "app/about_window.h"
#include "app/new_version_window.h"
#include "clean/cleaning_run.h"
#include "junklist/junk_list.h"
#include "platform/system.h"
#include "platform/ui_services.h"
#include "scan/folder_scan.h"
#include "scan/scan_run.h"
#include "scan/scan_state.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTableView;

namespace sweepwise {

class Frmdel;
class JunkListModel;

// The main window: the scan options, the scan buttons, the junk list and the commands on it.
class Frm1 : public QWidget, private ScanRunView, private CleaningHost {
    Q_OBJECT

public:
    // The outer size the window keeps, frame included, in pixels (9825 x 8100 twips).
    static constexpr QSize kOuterSize{655, 540};

    Frm1(platform::System& system, platform::UiServices& ui);
    ~Frm1() override;

    // Shows what the scan and the commands changed: the labels and, with `lists`, the new rows,
    // the selected row and the cleaning window's progress.
    void publish(bool lists = true);

    // True while a command that pumps events (a scan, a cleaning run) is under way.
    bool runInProgress() const { return m_runDepth > 0; }

    JunkList& junkList() { return m_junk; }
    ScanState& scanState() { return m_state; }
    // The cleaning window while a cleaning run is under way, else null.
    Frmdel* cleaningWindow() { return m_cleaning.get(); }
    // The About and new-version windows while they are open, else null.
    Frmabout* aboutWindow() { return m_about; }
    Frmnew* newVersionWindow() { return m_newVersion; }
    // Where the new-version window gets its browser; the web engine unless a test says otherwise.
    void setBrowserFactory(BrowserFactory factory) { m_browserFactory = std::move(factory); }

    // The special folders belong to this window.
    std::optional<std::string> TemporaryFile(std::string_view prefix);
    std::optional<std::string> GetWinTemdir();
    std::optional<std::string> GetNetTemdir();
    std::optional<std::string> GetCookiesDir();

    QPushButton* command2;
    QLineEdit* ttt;
    QGroupBox* Frame1;
    QRadioButton* Op2;
    QFrame* Picture2;
    QCheckBox* Ch2;
    QCheckBox* Ch3;
    QCheckBox* Ch1;
    QCheckBox* ch4;
    QListWidget* ListD;
    QLabel* Label1;
    QFrame* Line1;
    QRadioButton* Op1;
    QLabel* Label3;
    QLabel* Label2;
    QPushButton* Cmdstop;
    QPushButton* command9;
    QPushButton* command8;
    QPushButton* command7;
    QPushButton* command6;
    QPushButton* command5;
    QPushButton* Cmdp;
    QPushButton* Cmdsc;
    QPushButton* command1;
    QTableView* Lm;
    QLabel* Lf;
    QLabel* lls;
    QFrame* Line2;
    QLabel* ll;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createControls();
    void load();
    void holdSize();
    void schedulePublish();
    void publishQueued();

    void Op1Click();
    void Op2Click();
    void ch4Click();
    void CmdscClick();
    void CmdstopClick();
    void CmdpClick();
    void command1Click();
    void command2Click();
    void command5Click();
    void command6Click();
    void command7Click();
    void command8Click();
    void command9Click();
    void applyScanButtons();

    // ScanRunView
    void setStatusText(std::string_view text) override;
    void setCountText(std::string_view text) override;
    void setScanButtons(bool startEnabled, bool stopEnabled, bool rescanEnabled) override;
    bool quickScanSelected() override;
    bool optionTicked(ScanOption option) override;
    int driveCount() override;
    bool driveTicked(int row) override;
    std::string driveRoot(int row) override;
    void setCurrentRoot(std::string_view root) override;
    std::string currentRoot() override;

    // CleaningHost
    void showMainWindow() override;

    platform::System& m_system;
    platform::UiServices& m_ui;
    ScanState m_state;
    JunkList m_junk;
    std::unique_ptr<JunkListModel> m_model;
    FolderScan m_scan;
    ScanRun m_run;
    std::unique_ptr<Frmdel> m_cleaning;
    QPointer<Frmabout> m_about;
    QPointer<Frmnew> m_newVersion;
    BrowserFactory m_browserFactory = webEngineBrowser();

    std::string m_currentRoot;
    std::string m_statusText;
    std::string m_countText;
    bool m_statusChanged = false;
    bool m_countChanged = false;
    bool m_publishQueued = false;
    QTimer m_publishLater;
    int m_shownSelection = 0;
    int m_runDepth = 0;
    // The states the scan run asked for; Start and Rescan stay off during a cleaning run.
    bool m_startWanted = true;
    bool m_rescanWanted = true;
    bool m_centred = false;
    QSize m_clientSize;
};

}  // namespace sweepwise
