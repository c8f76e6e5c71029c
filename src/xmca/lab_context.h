// The laboratory as the window's pages see it: one settings object (the file
// laboratory.conf), one register location, and a worker thread that makes every
// register call, so that a register server that stalls never holds up the window.
// The worker also sends the records that wait for the register server, every 30 s.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "model/lab_settings.h"

namespace xmca::reg {
class Register;
}
class QTimer;

// What a register job gets on the worker thread: the register at the location the
// job was posted for, opened once and kept while the location stays the same.
class RegisterAccess {
public:
    RegisterAccess();
    ~RegisterAccess();
    // Null when the register cannot be opened (error() says why).
    xmca::reg::Register* reg();
    const std::string& error() const { return error_; }
    const std::string& location() const { return location_; }

private:
    friend class LabContext;
    std::string location_;
    std::string error_;
    std::unique_ptr<xmca::reg::Register> reg_;
    std::string openedLocation_;
};

class LabContext : public QObject {
    Q_OBJECT
public:
    explicit LabContext(QObject* parent = nullptr);
    // settingsPath: the laboratory settings file read now and written on every change.
    explicit LabContext(std::string settingsPath, QObject* parent = nullptr);
    ~LabContext() override;

    const xmca::LabSettings& settings() const { return settings_; }
    // Changes the settings and writes them; false when the file could not be written
    // (the change holds for this session all the same).
    bool updateSettings(const std::function<void(xmca::LabSettings&)>& change);

    // The register: the one set (--register), else the settings', else the default.
    QString registerLocation() const;
    void setRegisterLocation(const QString& location);

    // Runs job on the register thread; done gets its result on the window thread,
    // unless receiver has been destroyed by then. Jobs run in the order posted.
    template <class R>
    void request(QObject* receiver, std::function<R(RegisterAccess&)> job, std::function<void(R)> done) {
        auto result = std::make_shared<R>();
        post(
            receiver, [job = std::move(job), result](RegisterAccess& a) { *result = job(a); },
            [done = std::move(done), result] { done(std::move(*result)); });
    }

    // Sends what waits for the register server now (nothing waits for a register file).
    void checkWaiting();
    std::int64_t waiting() const { return waiting_; }
    // Records the server refused for good, kept aside in the queue (mcatool register queue lists them).
    std::int64_t setAside() const { return setAside_; }

    // Jobs posted and not yet answered on the window thread.
    int outstanding() const { return outstanding_; }
    // Runs the event loop until every job posted has been answered (false on
    // time-out): for tests and for closing the window.
    bool settle(int timeoutMs = 30000);

signals:
    void settingsChanged();
    void registerLocationChanged();
    // How many records wait for the register server, how many it refused for good
    // (set aside), and why (empty when none wait).
    void waitingChecked(qint64 waiting, qint64 setAside, const QString& why);

private:
    struct Job {
        std::string location;
        std::function<void(RegisterAccess&)> work;
        QPointer<QObject> receiver;
        std::function<void()> done;
        bool hasReceiver = false;
    };
    void post(QObject* receiver, std::function<void(RegisterAccess&)> work, std::function<void()> done);
    void run();
    void collectAnswers();
    void answerWaiting(std::int64_t waiting, std::int64_t setAside, const QString& why);

    std::string settingsPath_;
    xmca::LabSettings settings_;
    QString registerOverride_;
    QTimer* waitTimer_;
    QTimer* answerTimer_;
    std::int64_t waiting_ = 0;
    std::int64_t setAside_ = 0;
    int outstanding_ = 0;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::deque<std::shared_ptr<Job>> answered_;  // done on the worker, not yet answered
    bool stop_ = false;
    std::thread worker_;
};
