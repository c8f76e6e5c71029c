#include "xmca/lab_context.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>

#include "register/pending_queue.h"
#include "register/postgres_register.h"
#include "register/register.h"

namespace {
constexpr int kWaitingCheckMs = 30000;
// How often the window thread collects the worker's answers while any are due.
constexpr int kAnswerPollMs = 4;
}

RegisterAccess::RegisterAccess() = default;
RegisterAccess::~RegisterAccess() = default;

xmca::reg::Register* RegisterAccess::reg() {
    // Kept while it opens; one that could not be opened is tried again next time.
    if (reg_ && openedLocation_ == location_) return reg_.get();
    reg_.reset();
    error_.clear();
    reg_ = xmca::reg::openRegister(location_, error_);
    openedLocation_ = location_;
    return reg_.get();
}

LabContext::LabContext(QObject* parent) : LabContext(xmca::defaultLabSettingsPath(), parent) {}

LabContext::LabContext(std::string settingsPath, QObject* parent)
    : QObject(parent),
      settingsPath_(std::move(settingsPath)),
      settings_(xmca::loadLabSettings(settingsPath_)),
      waitTimer_(new QTimer(this)),
      answerTimer_(new QTimer(this)) {
    waitTimer_->setInterval(kWaitingCheckMs);
    connect(waitTimer_, &QTimer::timeout, this, &LabContext::checkWaiting);
    answerTimer_->setInterval(kAnswerPollMs);
    connect(answerTimer_, &QTimer::timeout, this, &LabContext::collectAnswers);
    worker_ = std::thread([this] { run(); });
}

LabContext::~LabContext() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

bool LabContext::updateSettings(const std::function<void(xmca::LabSettings&)>& change) {
    const QString before = registerLocation();
    change(settings_);
    const bool saved = xmca::saveLabSettings(settings_, settingsPath_);
    emit settingsChanged();
    if (registerLocation() != before) emit registerLocationChanged();
    return saved;
}

QString LabContext::registerLocation() const {
    if (!registerOverride_.isEmpty()) return registerOverride_;
    return QString::fromStdString(settings_.registerLocation.empty() ? xmca::reg::defaultRegisterLocation()
                                                                     : settings_.registerLocation);
}

void LabContext::setRegisterLocation(const QString& location) {
    const QString before = registerLocation();
    registerOverride_ = location;
    if (registerLocation() != before) emit registerLocationChanged();
}

void LabContext::post(QObject* receiver, std::function<void(RegisterAccess&)> work, std::function<void()> done) {
    Job job;
    job.location = registerLocation().toStdString();
    job.work = std::move(work);
    job.receiver = receiver;
    job.hasReceiver = receiver != nullptr;
    job.done = std::move(done);
    ++outstanding_;
    if (!answerTimer_->isActive()) answerTimer_->start();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void LabContext::collectAnswers() {
    std::deque<std::shared_ptr<Job>> answered;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        answered.swap(answered_);
    }
    for (auto& job : answered) {
        --outstanding_;
        if (job->done && (!job->hasReceiver || job->receiver)) job->done();
    }
    if (outstanding_ <= 0) answerTimer_->stop();
}

void LabContext::run() {
    RegisterAccess access;
    for (;;) {
        auto job = std::make_shared<Job>();
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (stop_) return;
            *job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        access.location_ = job->location;
        job->work(access);
        // Answered on the window thread, which collects what is done under the same
        // mutex (not through Qt's event queue, whose own locking the thread sanitizer
        // cannot see); the receiver is looked at only there.
        std::lock_guard<std::mutex> lock(mutex_);
        answered_.push_back(std::move(job));
    }
}

void LabContext::checkWaiting() {
    const QString location = registerLocation();
    if (!xmca::reg::isServerLocation(location.toStdString())) {
        waitTimer_->stop();
        answerWaiting(0, 0, {});
        return;
    }
    if (!waitTimer_->isActive()) waitTimer_->start();
    struct Waiting {
        std::int64_t count = 0;
        std::int64_t setAside = 0;
        std::string error;
    };
    request<Waiting>(
        this,
        [](RegisterAccess& a) {
            Waiting w;
            xmca::reg::Register* reg = a.reg();
            if (!reg) w.error = a.error();
            if (reg) {
                reg->deliverPending(w.error);
                w.count = reg->pendingCount();
                w.setAside = reg->setAsideCount();
            } else {
                // The server refuses this program (or the address): what waits still counts.
                xmca::reg::PendingQueue queue;
                std::string ignored;
                if (queue.open(xmca::reg::defaultQueueLocation(), ignored)) {
                    w.count = std::max<std::int64_t>(0, queue.count(a.location()));
                    w.setAside = std::max<std::int64_t>(0, queue.setAsideCount(a.location()));
                }
            }
            return w;
        },
        [this](Waiting w) { answerWaiting(w.count, w.setAside, QString::fromStdString(w.error)); });
}

void LabContext::answerWaiting(std::int64_t waiting, std::int64_t setAside, const QString& why) {
    waiting_ = waiting;
    setAside_ = setAside;
    emit waitingChecked(waiting, setAside, why);
}

bool LabContext::settle(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (outstanding_ > 0) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (outstanding_ > 0) QThread::msleep(1);
    }
    return true;
}
