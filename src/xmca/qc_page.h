// The QC page: the daily check-source run, acquired here (through the main
// window's handlers, its end learnt from runFinished) or read from a file,
// measured and recorded in the register with its status; a new baseline after a
// recalibration; the QC settings (baseline runs, the daily rule); and the control
// chart of the installation's runs.
#pragma once

#include <QWidget>
#include <optional>

#include "model/lab_settings.h"
#include "model/qc_log.h"

class AnalyserSession;
class MeasurementDocument;
class LabContext;
class PageDialogs;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The control chart drawn by the same renderer as `mcatool qc --chart`.
class QcChartView : public QWidget {
    Q_OBJECT
public:
    explicit QcChartView(QWidget* parent = nullptr);
    void setHistory(const xmca::qc::History& h);
    const xmca::qc::History& history() const { return history_; }
    QSize sizeHint() const override { return {900, 520}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    xmca::qc::History history_;
};

class QcPage : public QWidget {
    Q_OBJECT
public:
    QcPage(AnalyserSession& session, MeasurementDocument& doc, LabContext& lab, PageDialogs& dialogs, QWidget* parent = nullptr);

    const std::optional<xmca::QcRecordOutcome>& lastRun() const { return last_; }
    const QString& backgroundPath() const { return bgPath_; }
    // Why verdicts are withheld (empty when they are not), as last read from the register.
    QString lockoutReason() const { return lockoutReason_; }

public slots:
    void acquireCheck();
    void stopRun();
    void readCheck();
    void chooseBackground();
    void setBackground(const QString& path);
    void startBaseline();
    // Measures a check spectrum file and sends the run to the register (the page
    // shows the outcome when the register answers); false when it cannot be measured.
    bool measureFile(const QString& path);
    // Reads the register again (chart, lock-out banner), answered later.
    void refresh();

signals:
    // A run was recorded or a baseline started: the lock-out may have changed.
    void qcChanged();

private:
    void onRunFinished(int ticket, bool atPreset);
    void message(const QString& text, bool error = false);
    void saveSettings();
    void showRun();
    xmca::LabSettings currentSettings() const;  // the laboratory's, with this page's QC keys
    QString askSpectrum(const QString& title);
    std::string detector() const;  // the key the QC record is kept under
    bool bindDetector();           // binds it at the first QC use; false when not saved

    AnalyserSession& session_;
    MeasurementDocument& doc_;
    int runTicket_ = 0;  // the session's ticket of the page's run
    LabContext& lab_;
    PageDialogs& dialogs_;
    QString lockoutReason_;
    bool acquiring_ = false;
    QString bgPath_;
    std::optional<xmca::QcRecordOutcome> last_;

    QLineEdit *seconds_, *bgFile_;
    QPushButton *acquire_, *stop_, *read_, *bgChoose_, *newBaseline_;
    QSpinBox* baselineRuns_;
    QCheckBox* daily_;
    QLabel *status_, *reasons_, *figures_, *baseline_, *lockout_, *message_, *detector_;
    QcChartView* chart_;
};
