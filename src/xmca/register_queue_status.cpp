#include "xmca/register_queue_status.h"

#include "xmca/lab_context.h"

RegisterQueueStatus::RegisterQueueStatus(LabContext& lab, QWidget* parent) : QLabel(parent), lab_(lab) {
    setVisible(false);
    connect(&lab_, &LabContext::waitingChecked, this, &RegisterQueueStatus::show);
    connect(&lab_, &LabContext::registerLocationChanged, this, &RegisterQueueStatus::check);
}

void RegisterQueueStatus::check() { lab_.checkWaiting(); }

void RegisterQueueStatus::show(qint64 waiting, const QString& error) {
    waiting_ = waiting;
    setText(tr("%n record(s) wait for the register server", "", static_cast<int>(waiting)));
    setToolTip(error);
    setVisible(waiting > 0);
    emit checked(waiting);
}
