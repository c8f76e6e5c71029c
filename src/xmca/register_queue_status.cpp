#include "xmca/register_queue_status.h"

#include <QTimer>

#include <algorithm>
#include <memory>

#include "register/pending_queue.h"
#include "register/postgres_register.h"

namespace {
constexpr int kCheckIntervalMs = 30000;
}

RegisterQueueStatus::RegisterQueueStatus(QWidget* parent) : QLabel(parent), timer_(new QTimer(this)) {
    setVisible(false);
    timer_->setInterval(kCheckIntervalMs);
    connect(timer_, &QTimer::timeout, this, [this] { check(location_); });
    worker_ = std::thread([this] { run(); });
}

RegisterQueueStatus::~RegisterQueueStatus() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void RegisterQueueStatus::check(const QString& location) {
    location_ = location;
    if (!xmca::reg::isServerLocation(location.toStdString())) {
        timer_->stop();
        show(0, {});
        return;
    }
    if (!timer_->isActive()) timer_->start();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = location.toStdString();
        asked_ = true;
    }
    wake_.notify_one();
}

void RegisterQueueStatus::run() {
    std::unique_ptr<xmca::reg::ServerRegister> reg;
    for (;;) {
        std::string location;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || asked_; });
            if (stop_) return;
            location = pending_;
            asked_ = false;
        }
        std::string error;
        if (!reg || reg->location() != location) {
            reg.reset();
            reg = xmca::reg::openServerRegister(location, {}, error);
        }
        std::int64_t waiting = 0;
        if (reg) {
            reg->deliverPending(error);
            waiting = reg->pendingCount();
        } else {
            // The server refuses this program (or the address): what waits still counts.
            xmca::reg::PendingQueue queue;
            std::string ignored;
            if (queue.open(xmca::reg::defaultQueueLocation(), ignored)) waiting = std::max<std::int64_t>(0, queue.count(location));
        }
        const QString why = QString::fromStdString(error);
        QMetaObject::invokeMethod(this, [this, waiting, why] { show(waiting, why); }, Qt::QueuedConnection);
    }
}

void RegisterQueueStatus::show(qint64 waiting, const QString& error) {
    waiting_ = waiting;
    setText(tr("%n record(s) wait for the register server", "", static_cast<int>(waiting)));
    setToolTip(error);
    setVisible(waiting > 0);
    emit checked(waiting);
}
