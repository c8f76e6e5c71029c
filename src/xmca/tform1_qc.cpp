// The QC page, set beside the spectrum view as a tab of the main window (the tabs
// are made here when no other page has made them yet).
#include <QTabWidget>

#include "model/qc_log.h"
#include "model/screening.h"
#include "tform1.h"
#include "xmca/qc_page.h"

void TForm1::addQcPage() {
    auto* tabs = qobject_cast<QTabWidget*>(centralWidget());
    if (!tabs || tabs->objectName() != QStringLiteral("MainTabs")) {
        tabs = new QTabWidget(this);
        tabs->setObjectName(QStringLiteral("MainTabs"));
        tabs->addTab(takeCentralWidget(), tr("Spectrum"));
        setCentralWidget(tabs);
    }
    tabs->addTab(new QcPage(*this, *lab_, *dialogs_, tabs), tr("QC"));
}

void TForm1::withholdForQc() {
    // Withheld until the register's QC state has been read on the register thread,
    // so that no unchecked verdict is shown, printed or exported meanwhile.
    const int check = ++qcCheck_;
    // A reason of the figures' own (the grounds) comes back once the QC state is known.
    const xmca::ScreeningResult& before = state_.activity.screening;
    const bool qcOnly = before.withheld == xmca::kQcUnknown;  // a check asked already
    const std::string reasonBefore = qcOnly ? std::string() : before.withheld;
    const int rankBefore = qcOnly ? 0 : before.withheldRank;
    xmca::withholdVerdict(state_.activity, xmca::kQcUnknown);
    lab_->request<std::string>(
        this, [lab = lab_->settings()](RegisterAccess& a) { return xmca::qcLockoutReason(a.reg(), lab); },
        [this, check, reasonBefore, rankBefore](std::string reason) {
            xmca::ScreeningResult& sc = state_.activity.screening;
            if (check != qcCheck_ || sc.withheld != xmca::kQcUnknown) return;  // computed again since
            sc.withheld = reasonBefore;
            sc.withheldRank = rankBefore;
            xmca::updateVerdict(state_.activity, state_.screeningSettings);
            if (!reason.empty()) xmca::withholdVerdict(state_.activity, reason);
            showActivityResults();
            PaintBox1Paint();
        });
}
