// The Screening and History pages: each its own widget, set beside the spectrum
// view as tabs of the main window.
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include "model/lab_settings.h"
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
    auto* screening = new ScreeningPage(*this, tabs);
    auto* history = new HistoryPage(*this, tabs);
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
    auto* waiting = new RegisterQueueStatus(this);
    waiting->setObjectName(QStringLiteral("RegisterWaiting"));
    statusBar()->addPermanentWidget(waiting);
    // First look once the window is set up (the register may be given after construction).
    QTimer::singleShot(0, waiting, [this, waiting] { waiting->check(registerLocation()); });
    connect(screening, &ScreeningPage::recorded, waiting, [this, waiting] { waiting->check(registerLocation()); });
}

bool TForm1::analyserOpen() const { return linkFig_.deviceOpen == 1; }

QString TForm1::registerLocation() const {
    if (!registerLocation_.isEmpty()) return registerLocation_;
    const xmca::LabSettings lab = xmca::loadLabSettings(xmca::defaultLabSettingsPath());
    return QString::fromStdString(lab.registerLocation.empty() ? xmca::reg::defaultRegisterLocation()
                                                               : lab.registerLocation);
}
