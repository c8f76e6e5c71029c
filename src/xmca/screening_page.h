// The Screening page: background and sample (acquired here or chosen as files),
// the sample's data, Evaluate (the "Bq Calic" core on the chosen pair), Record
// (into the register) and Print (the screening report). Its runs go through the
// analyser session, which names each run's end by its ticket; counted spectra are
// saved through the measurement document.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "analysis/method.h"
#include "model/lab_settings.h"
#include "model/screening_record.h"

class AnalyserSession;
class MeasurementDocument;
class LabContext;
class PageDialogs;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class ScreeningPage : public QWidget {
    Q_OBJECT
public:
    ScreeningPage(AnalyserSession& session, MeasurementDocument& doc, LabContext& lab, PageDialogs& dialogs, QWidget* parent = nullptr);

    const QString& backgroundPath() const { return bgPath_; }
    const QString& samplePath() const { return samplePath_; }
    // The last evaluation and the record made of it (id 0 until recorded).
    const std::optional<xmca::ScreeningOutcome>& outcome() const { return outcome_; }
    const xmca::reg::MeasurementRecord& record() const { return record_; }

public slots:
    void acquireBackground();
    void chooseBackground();
    void acquireSample();
    void chooseSample();
    void stopRun();
    void evaluate();      // the figures now; the verdict once the register's QC state is read
    void recordResult();  // answered when the register has taken the record
    void printReport();
    void editSettings();
    // A recorded result to correct: its spectra and sample data come back here, and
    // the next record names it as the one it supersedes.
    void correctRecord(const xmca::reg::MeasurementRecord& old);
    // Reads the check-source QC state again and shows it above "Evaluate".
    void refreshQcState();

signals:
    void recorded(qint64 id);
    // A plain-words message for the status bar (what the page says, as it says it).
    void statusMessage(const QString& text);

protected:
    // The method in force is read again whenever the page is shown (the register's
    // location is set after the window is made, the Methods dialog may change it).
    // and so is the QC state.
    void showEvent(QShowEvent* event) override;

private:
    enum class Acquiring { None, Background, Sample };
    void startAcquisition(Acquiring what, QLineEdit* seconds);
    void onRunFinished(int ticket, bool atPreset);
    void setBackground(const QString& path);
    void setSample(const QString& path);
    void showOutcome();
    void showMethodInForce();
    // The rest of evaluate() once the method in force is known.
    void evaluateWith(const xmca::SampleData& sample, int evaluation);
    // A method looked up in the register on its thread.
    struct MethodAnswer {
        std::optional<xmca::method::Method> method;
        std::string error;
    };
    // The method in force: the factory's at once, the laboratory's from the register thread.
    void askMethodInForce(std::function<void(MethodAnswer)> done);
    void setBusy(bool busy);
    void endCorrection();
    void message(const QString& text, bool error = false);
    bool readSampleData(xmca::SampleData& out, QString& problem) const;
    QString askSpectrum(const QString& title);

    AnalyserSession& session_;
    MeasurementDocument& doc_;
    LabContext& lab_;
    PageDialogs& dialogs_;
    int evaluation_ = 0;      // of the pair evaluated last: older answers are dropped
    int methodShown_ = 0;     // of the method-in-force look-up last asked
    bool recording_ = false;  // a record on its way to the register
    Acquiring acquiring_ = Acquiring::None;
    int runTicket_ = 0;       // the session's ticket of the page's run
    QString bgPath_, samplePath_;
    std::optional<xmca::ScreeningOutcome> outcome_;
    xmca::ScreeningOptions options_;
    xmca::reg::MeasurementRecord record_;
    // The record being corrected: its settings hold for the correction, and what
    // changed against it is said on the page and on paper.
    std::optional<xmca::reg::MeasurementRecord> original_;

    QLineEdit *bgFile_, *bgSeconds_, *sampleFile_, *sampleSeconds_;
    QLabel *bgInfo_, *sampleInfo_, *verdict_, *notes_, *recordLabel_, *message_, *qcState_;
    QLineEdit *sampleId_, *product_, *origin_, *mass_, *samplingDate_, *operator_, *reason_;
    QLabel* reasonLabel_;
    QLabel* methodInfo_ = nullptr;  // the method in force and its version
    QPushButton *bgAcquire_, *bgChoose_, *sampleAcquire_, *sampleChoose_, *stop_, *evaluate_, *record_btn_, *print_;
    QTableWidget* table_;
};
