// The QC page, set beside the spectrum view as a tab of the main window (the tabs
// are made here when no other page has made them yet).
#include <QTabWidget>

#include "model/lab_settings.h"
#include "model/qc_log.h"
#include "model/screening.h"
#include "register/register.h"
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
    tabs->addTab(new QcPage(*this, tabs), tr("QC"));
}

void TForm1::withholdForQc() {
    std::string error;
    const auto reg = xmca::reg::openRegister(registerLocation().toStdString(), error);
    const std::string reason =
        xmca::qcLockoutReason(reg.get(), xmca::loadLabSettings(xmca::defaultLabSettingsPath()));
    if (!reason.empty()) xmca::withholdVerdict(state_.activity, reason);
}
