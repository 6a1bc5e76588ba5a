#pragma once

#include <QWidget>

#include "clean/cleaning_run.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace sweepwise {

// The cleaning window: a progress bar, what is being deleted, and Cancel. Made afresh for each
// run; its load performs the whole run.
class Frmdel : public QWidget, private CleaningView {
    Q_OBJECT

public:
    Frmdel(JunkList& junk, platform::System& system, platform::UiServices& ui, CleaningHost& host);
    ~Frmdel() override;

    void load();
    const CleaningRun& run() const { return m_run; }

    // Shows the progress and the texts the run set since the last call.
    void publish();

    QLabel* Image1;
    QProgressBar* PP1;
    QLabel* Nows;
    QTreeWidget* lTem;
    QLabel* Nowf;
    QPushButton* command1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void command1Click();

    void showCentred() override;
    void addNotRemovedColumn(std::string_view head) override;
    void showProgress(float value, float maximum) override;
    void setActionText(std::string_view text) override;
    void setPercentText(std::string_view text) override;
    void showNotRemoved(std::string_view path) override;
    std::string decimalPoint() override;
    void unload() override;

    platform::UiServices& m_ui;
    CleaningRun m_run;
    // What the run set, shown at publish(): it changes every few milliseconds.
    float m_value = 0;
    float m_maximum = 100;
    std::string m_action;
    std::string m_percent;
    bool m_changed = false;
};

}  // namespace sweepwise
