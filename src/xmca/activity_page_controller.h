// The activity page's controller: the "Calic" menu steps (DataComp, DataSmooth,
// BGSubtract, PeakFind, Bq Calic), "  Bq. Calic" and "Re Calic" on the page, the
// Screening Level and Lower Limit edits, the figures, limits and verdict shown
// from the result record, and the QC lock-out check on a new verdict (read on the
// register thread; an answer for an older computation is dropped). It works on the
// main window's widgets and measurement state and says through its signals what
// the window has to do afterwards.
#pragma once

#include <QObject>
#include <QString>

#include "ui_tform1.h"  // the main window's generated form, whose activity widgets it drives

namespace xmca {
struct MeasurementState;
struct CalicOutcome;
}  // namespace xmca
class LabContext;
class PageDialogs;

class ActivityPage : public QObject {
    Q_OBJECT
public:
    // Connects the page's actions, buttons and edits. ui, state, lab and dialogs
    // outlive the controller.
    ActivityPage(Ui::TForm1& ui, xmca::MeasurementState& state, LabContext& lab, PageDialogs& dialogs,
                 QObject* parent = nullptr);

    // The lock-out check under way (each computation starts a new one).
    int qcCheck() const { return qcCheck_; }

public slots:
    // Single steps of the "Calic" menu, on the memory the "Mem" group selects.
    void dataCompress();        // "DataComp"
    void dataSmooth();          // "Data Smooth"
    void subtractBackground();  // "BGSubtruct": memory 1 less memory 2 into memory 3
    void peakFind();            // "Peak Find"
    // "Bq Calic": the full computation; the background file is asked for when none
    // has been read.
    void bqCalic();
    // "  Bq. Calic" on the page: the computation, then the expanded view.
    void bqCalicAndExpand();
    // "Re Calic": the computation again on the spectra as they stand.
    void reCalic();
    void screenLevelChanged();
    void lowerLimitChanged();
    // The figures, limits and verdict from the result record (cleared when the
    // results are not shown beside the spectrum on screen).
    void showResults();
    // Withholds the verdict until the register's QC state has been read; a lock-out
    // then becomes the reason shown.
    void withholdForQc();

signals:
    void repaintRequested();                // the plot is to be drawn again
    void status(const QString& englishText);  // for the status box Edit1 (translated there)
    void labelsChanged();                   // the view's labels (range, cursor) are to be updated
    void expandRequested();                 // the view is to be expanded ("Expand")

private:
    void afterCalic(const xmca::CalicOutcome& out);

    Ui::TForm1& ui_;
    xmca::MeasurementState& state_;
    LabContext& lab_;
    PageDialogs& dialogs_;
    int qcCheck_ = 0;
};
