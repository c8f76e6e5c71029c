// The QC page, set beside the spectrum view as a tab of the main window (the tabs
// are made here when no other page has made them yet).
#include <QTabWidget>

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
