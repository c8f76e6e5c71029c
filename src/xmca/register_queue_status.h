// A status-bar label that says how many records wait for the register server
// (hidden when none wait or the register is a local file). A worker thread sends
// the waiting records every 30 s, so that a server that does not answer never
// holds up the window for a connection time-out.
#pragma once

#include <QLabel>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class QTimer;

class RegisterQueueStatus : public QLabel {
    Q_OBJECT
public:
    explicit RegisterQueueStatus(QWidget* parent = nullptr);
    ~RegisterQueueStatus() override;

    std::int64_t waiting() const { return waiting_; }

public slots:
    // Sends what waits for the register at location (a file location: nothing waits), now.
    void check(const QString& location);

signals:
    void checked(qint64 waiting);

private:
    void run();
    void show(qint64 waiting, const QString& error);

    QTimer* timer_;
    QString location_;
    std::int64_t waiting_ = 0;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string pending_;  // the location the worker is asked to check
    bool asked_ = false;
    bool stop_ = false;
    std::thread worker_;
};
