#include "link_worker.h"

#include <algorithm>
#include <chrono>

namespace {
// How often the window looks for results while requests are outstanding: well
// under a frame, and a few wake-ups per poll tick.
constexpr int kDrainMs = 4;
}  // namespace

class LinkWorker::Runner : public QThread {
public:
    explicit Runner(LinkWorker* w) : w_(w) { setObjectName("xmca link"); }
    void run() override { w_->loop(); }

private:
    LinkWorker* w_;
};

LinkWorker::LinkWorker(std::unique_ptr<xmca::LinkClient> client, Mode mode, QObject* parent)
    : QObject(parent), client_(std::move(client)) {
    if (mode == Mode::Thread) {
        drainTimer_ = new QTimer(this);
        drainTimer_->setTimerType(Qt::PreciseTimer);
        drainTimer_->setInterval(kDrainMs);
        connect(drainTimer_, &QTimer::timeout, this, &LinkWorker::drainReplies);
        thread_ = std::make_unique<Runner>(this);
        thread_->start();
    }
}

LinkWorker::~LinkWorker() { shutdown(); }

bool LinkWorker::request(const xmca::CycleInputs& in, xmca::LinkClient::Op op, Done done, bool poll) {
    if (shutDown_) return false;
    if (!thread_) {
        const xmca::LinkSnapshot snap = client_->run(in, op);
        if (done) done(snap);
        return true;
    }
    const std::uint64_t id = nextId_++;
    dones_.emplace(id, std::move(done));
    {
        std::lock_guard lock(m_);
        auto at = jobs_.end();
        if (!poll) at = std::find_if(jobs_.begin(), jobs_.end(), [](const Job& j) { return j.poll; });
        jobs_.insert(at, Job{id, in, std::move(op), poll});
    }
    cv_.notify_one();
    if (!drainTimer_->isActive()) drainTimer_->start();
    return true;
}

void LinkWorker::loop() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_);
            cv_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) break;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        Reply reply{job.id, client_->run(job.in, job.op)};
        job.op = nullptr;  // whatever it holds goes on this thread
        std::lock_guard lock(m_);
        replies_.push_back(std::move(reply));
        replyCv_.notify_all();
    }
    std::lock_guard lock(m_);
    finished_ = true;
}

void LinkWorker::drainReplies() {
    std::deque<Reply> ready;
    {
        std::lock_guard lock(m_);
        ready.swap(replies_);
    }
    for (Reply& r : ready) {
        if (shutDown_) return;
        auto it = dones_.find(r.id);
        if (it == dones_.end()) continue;
        Done done = std::move(it->second);
        dones_.erase(it);
        if (done) done(r.snap);
    }
    if (drainTimer_ && dones_.empty()) drainTimer_->stop();
}

bool LinkWorker::awaitReply(int maxMs) {
    std::unique_lock lock(m_);
    return replyCv_.wait_for(lock, std::chrono::milliseconds(maxMs), [this] { return !replies_.empty(); });
}

void LinkWorker::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    if (!thread_) return;
    drainTimer_->stop();
    client_->close();
    std::deque<Job> dropped;
    {
        std::lock_guard lock(m_);
        stopping_ = true;
        dropped.swap(jobs_);
    }
    cv_.notify_all();
    // The link's own time-outs bound the exchange under way; no new one starts.
    thread_->wait();
    {
        // Pairs with the worker's last unlock, so its writes are seen before the
        // client and driver are destroyed here.
        std::lock_guard lock(m_);
        replies_.clear();
    }
    dones_.clear();
}
