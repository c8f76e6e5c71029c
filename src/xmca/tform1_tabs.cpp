// The Screening and History pages: each its own widget, set beside the spectrum
// view as tabs of the main window.
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include "register/register.h"
#include "tform1.h"
#include "ui_tform1.h"
#include "xmca/history_page.h"
#include "xmca/register_queue_status.h"
#include "xmca/screening_page.h"

void TForm1::addScreeningPages() {
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("MainTabs"));
    tabs->addTab(takeCentralWidget(), tr("Spectrum"));
    auto* screening = new ScreeningPage(*session_, *doc_, *lab_, *dialogs_, tabs);
    auto* history = new HistoryPage(*doc_, *lab_, *dialogs_, tabs);
    connect(screening, &ScreeningPage::statusMessage, this, &TForm1::statusMessage);
    connect(history, &HistoryPage::statusMessage, this, &TForm1::statusMessage);
    tabs->addTab(screening, tr("Screening"));
    tabs->addTab(history, tr("History"));
    setCentralWidget(tabs);
    connect(screening, &ScreeningPage::recorded, history, &HistoryPage::recordAdded);
    connect(history, &HistoryPage::correctionRequested, this,
            [tabs, screening](const xmca::reg::MeasurementRecord& r) {
                screening->correctRecord(r);
                tabs->setCurrentWidget(screening);
            });
    // How many records wait for the register server (a laboratory register), sent every 30 s.
    auto* waiting = new RegisterQueueStatus(*lab_, this);
    waiting->setObjectName(QStringLiteral("RegisterWaiting"));
    statusBar()->addPermanentWidget(waiting);
    // First look once the window is set up (the register may be given after construction).
    QTimer::singleShot(0, waiting, &RegisterQueueStatus::check);
    connect(screening, &ScreeningPage::recorded, waiting, &RegisterQueueStatus::check);
}
