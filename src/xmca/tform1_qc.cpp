// The QC page, set beside the spectrum view as a tab of the main window (the tabs
// are made here when no other page has made them yet).
#include <QTabWidget>

#include "model/qc_log.h"
#include "model/screening.h"
#include "tform1.h"
#include "xmca/qc_page.h"
#include "xmca/screening_page.h"

void TForm1::addQcPage() {
    auto* tabs = qobject_cast<QTabWidget*>(centralWidget());
    if (!tabs || tabs->objectName() != QStringLiteral("MainTabs")) {
        tabs = new QTabWidget(this);
        tabs->setObjectName(QStringLiteral("MainTabs"));
        tabs->addTab(takeCentralWidget(), tr("Spectrum"));
        setCentralWidget(tabs);
    }
    auto* qc = new QcPage(*session_, *doc_, *lab_, *dialogs_, tabs);
    tabs->addTab(qc, tr("QC"));
    // The Screening page shows the QC state before "Evaluate": it follows each run and new baseline at once.
    if (auto* screening = findChild<ScreeningPage*>())
        connect(qc, &QcPage::qcChanged, screening, &ScreeningPage::refreshQcState);
}

void TForm1::withholdForQc() {
    // Withheld until the register's QC state has been read on the register thread,
    // so that no unchecked verdict is shown, printed or exported meanwhile. A verdict
    // withheld for a reason of its own stays withheld; a QC lock-out then becomes the
    // reason shown, since it goes before every other.
    const int check = ++qcCheck_;
    const bool provisional = state_.activity.screening.withheld.empty();
    if (provisional) xmca::withholdVerdict(state_.activity, xmca::kQcUnknown);
    lab_->request<std::string>(
        this, [lab = lab_->settings()](RegisterAccess& a) { return xmca::qcLockoutReason(a.reg(), lab); },
        [this, check, provisional](std::string reason) {
            xmca::ScreeningResult& sc = state_.activity.screening;
            if (check != qcCheck_) return;  // computed again since
            if (provisional) {
                if (sc.withheld != xmca::kQcUnknown) return;
                sc.withheld.clear();
                xmca::updateVerdict(state_.activity, state_.screeningSettings);
            }
            if (!reason.empty()) xmca::withholdVerdict(state_.activity, reason);
            showActivityResults();
            PaintBox1Paint();
        });
}
