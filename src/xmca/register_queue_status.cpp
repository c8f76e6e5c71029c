#include "xmca/register_queue_status.h"

#include <QStringList>

#include "xmca/lab_context.h"

RegisterQueueStatus::RegisterQueueStatus(LabContext& lab, QWidget* parent) : QLabel(parent), lab_(lab) {
    setVisible(false);
    connect(&lab_, &LabContext::waitingChecked, this, &RegisterQueueStatus::show);
    connect(&lab_, &LabContext::registerLocationChanged, this, &RegisterQueueStatus::check);
}

void RegisterQueueStatus::check() { lab_.checkWaiting(); }

void RegisterQueueStatus::show(qint64 waiting, qint64 setAside, const QString& error) {
    waiting_ = waiting;
    setAside_ = setAside;
    QStringList parts;
    if (setAside > 0)
        parts << tr("%n record(s) refused by the register server and set aside: not in the register (mcatool "
                    "register queue lists them)",
                    "", static_cast<int>(setAside));
    if (waiting > 0) parts << tr("%n record(s) wait for the register server", "", static_cast<int>(waiting));
    setText(parts.join(QStringLiteral("; ")));
    setToolTip(error);
    // A refused record is not a delay that mends itself: the operator must see it.
    setStyleSheet(setAside > 0 ? QStringLiteral("color: white; background: #d0202a; padding: 2px 6px; font-weight: bold;")
                               : QString());
    setVisible(waiting > 0 || setAside > 0);
    emit checked(waiting);
}
