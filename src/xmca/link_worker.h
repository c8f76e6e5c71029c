// The window's side of the link client: queues requests to it and hands each
// result back on the window's thread. Threaded, the client runs on its own
// QThread, so the window never waits for the analyser; inline (tests), a request
// runs at once on the caller's thread. Requests run one at a time, in the order
// they were made, so the analyser sees the commands as before.
#pragma once

#include <QObject>
#include <QThread>
#include <QTimer>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "acquisition/link_client.h"

class LinkWorker : public QObject {
    Q_OBJECT
public:
    enum class Mode { Inline, Thread };

    LinkWorker(std::unique_ptr<xmca::LinkClient> client, Mode mode, QObject* parent = nullptr);
    ~LinkWorker() override;

    using Done = std::function<void(const xmca::LinkSnapshot&)>;
    // Queues op with the window's settings; done runs on the window's thread with
    // the result. A poll (a timer tick) waits behind every other request not yet
    // begun, so a button's commands go out between polls, in the order pressed.
    // After shutdown nothing is queued and false is returned.
    bool request(const xmca::CycleInputs& in, xmca::LinkClient::Op op, Done done, bool poll = false);

    bool threaded() const { return thread_ != nullptr; }
    // Requests whose result has not been handed back yet.
    std::size_t outstanding() const { return dones_.size(); }
    // No further command goes out; the request under way finishes its exchange and
    // the thread ends. Results not handed back yet are dropped. Idempotent.
    void shutdown();
    bool isShutDown() const { return shutDown_; }

    // The client itself: inline only, or when no request is outstanding (tests).
    xmca::LinkClient& client() { return *client_; }

    // Hands back the results that have arrived (also run by the drain timer).
    void drainReplies();
    // Waits up to maxMs for a result to arrive (not handed back yet); true if one has.
    bool awaitReply(int maxMs);

private:
    class Runner;
    void loop();

    struct Job {
        std::uint64_t id = 0;
        xmca::CycleInputs in;
        xmca::LinkClient::Op op;
        bool poll = false;
    };
    struct Reply {
        std::uint64_t id = 0;
        xmca::LinkSnapshot snap;
    };

    std::unique_ptr<xmca::LinkClient> client_;
    std::unique_ptr<QThread> thread_;
    // Threaded: looks for results every few ms while requests are outstanding. The
    // worker never calls into Qt, so everything crossing threads is under m_.
    QTimer* drainTimer_ = nullptr;
    // Shared with the worker thread, under m_.
    std::mutex m_;
    std::condition_variable cv_;
    std::condition_variable replyCv_;
    std::deque<Job> jobs_;
    std::deque<Reply> replies_;
    bool stopping_ = false;
    bool finished_ = false;
    // Window thread only.
    std::map<std::uint64_t, Done> dones_;
    std::uint64_t nextId_ = 1;
    bool shutDown_ = false;
};
