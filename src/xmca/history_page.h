// The History page: the register's records, newest first, filtered by date range,
// sample ID and verdict; a record's spectra opened, its report printed again, the
// filtered rows exported as CSV.
#pragma once

#include <QWidget>

#include "register/register.h"

class MeasurementDocument;
class HistoryModel;
class LabContext;
class PageDialogs;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

class HistoryPage : public QWidget {
    Q_OBJECT
public:
    HistoryPage(MeasurementDocument& doc, LabContext& lab, PageDialogs& dialogs, QWidget* parent = nullptr);

    HistoryModel& model() { return *model_; }
    QTableView& view() { return *view_; }

public slots:
    void refresh();          // the register read again under the filter (answered later)
    void openSpectra();      // the selected record's sample (and background) into the window
    void reprint();          // the selected record's screening report
    void exportCsv();        // the filtered rows as CSV
    void recordAdded();      // read again when the page has been shown
    void correct();          // the selected record taken to the Screening page for a correction

signals:
    void correctionRequested(const xmca::reg::MeasurementRecord& record);
    // A plain-words message for the status bar ("Saved register.csv").
    void statusMessage(const QString& text);

protected:
    void showEvent(QShowEvent* e) override;  // the register is read when the page is first shown

private:
    const xmca::reg::MeasurementRecord* selected() const;
    void message(const QString& text, bool error = false);
    void fetchMore();
    bool readFilter(xmca::reg::MeasurementFilter& f);  // false (and a message) on a bad date

    MeasurementDocument& doc_;
    LabContext& lab_;
    PageDialogs& dialogs_;
    int generation_ = 0;  // of the filter shown: answers for an older one are dropped
    HistoryModel* model_;
    QTableView* view_;
    QLineEdit *from_, *to_, *sampleId_;
    QLineEdit* installation_;
    QComboBox* verdict_;
    QLabel* message_;
    bool loaded_ = false;
};
