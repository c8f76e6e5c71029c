// A status-bar label that says how many records wait for the register server and,
// in red, how many it refused for good and were set aside (hidden when there are
// none or the register is a local file). The laboratory's
// register thread sends the waiting records every 30 s, so that a server that
// does not answer never holds up the window for a connection time-out.
#pragma once

#include <QLabel>
#include <QString>

#include <cstdint>

class LabContext;

class RegisterQueueStatus : public QLabel {
    Q_OBJECT
public:
    explicit RegisterQueueStatus(LabContext& lab, QWidget* parent = nullptr);

    std::int64_t waiting() const { return waiting_; }
    std::int64_t setAside() const { return setAside_; }

public slots:
    // Sends what waits for the laboratory's register now.
    void check();

signals:
    void checked(qint64 waiting);

private:
    void show(qint64 waiting, qint64 setAside, const QString& error);

    LabContext& lab_;
    std::int64_t waiting_ = 0;
    std::int64_t setAside_ = 0;
};
