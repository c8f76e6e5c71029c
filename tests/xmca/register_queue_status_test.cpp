// The status-bar count of records waiting for the register server: shown while
// records wait, in red when the server refused one for good, hidden for a local
// register file; the check runs off the window
// thread, so a server that does not answer never holds the window up.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>

#include "files/temp_dir.h"
#include "register/pending_queue.h"
#include "register/postgres_register.h"
#include "xmca/lab_context.h"
#include "xmca/register_queue_status.h"

namespace {

using xmca::test::TempDir;

// Waits (running the event loop) for the next check result; -1 on time-out.
qint64 nextCheck(RegisterQueueStatus& status, int timeoutMs) {
    QEventLoop loop;
    qint64 result = -1;
    QObject::connect(&status, &RegisterQueueStatus::checked, &loop, [&](qint64 n) {
        result = n;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return result;
}

TEST(RegisterQueueStatus, CountsRecordsWaitingForAServerThatDoesNotAnswer) {
    TempDir dir;
    setenv("XMCA_REGISTER_QUEUE", dir.file("queue.sqlite").c_str(), 1);
    const std::string dead = "postgresql://xmca_app@127.0.0.1:1/xmca?connect_timeout=2";
    {
        std::string error;
        auto reg = xmca::reg::openServerRegister(dead, {xmca::reg::defaultQueueLocation()}, error);
        ASSERT_TRUE(reg) << error;
        for (int i = 0; i < 3; ++i) {
            xmca::reg::MeasurementRecord r;
            r.sampleId = "wait-" + std::to_string(i);
            ASSERT_TRUE(reg->appendMeasurement(r, error)) << error;
        }
    }
    LabContext lab(dir.file("laboratory.conf"));
    lab.setRegisterLocation(QString::fromStdString(dead));
    RegisterQueueStatus status(lab);
    QElapsedTimer clock;
    clock.start();
    status.check();
    EXPECT_LT(clock.elapsed(), 500);  // the window thread does not wait for the server
    EXPECT_EQ(nextCheck(status, 15000), 3);
    EXPECT_FALSE(status.isHidden());
    EXPECT_NE(status.text().indexOf("3 record"), -1) << status.text().toStdString();
    EXPECT_FALSE(status.toolTip().isEmpty());  // why they wait
    EXPECT_EQ(status.text().indexOf("set aside"), -1);

    // One the server refused for good: set aside, and said loudly beside those that wait.
    {
        xmca::reg::PendingQueue queue;
        std::string error;
        ASSERT_TRUE(queue.open(xmca::reg::defaultQueueLocation(), error)) << error;
        std::vector<std::string> keys;
        ASSERT_TRUE(queue.targets(keys, error)) << error;
        ASSERT_EQ(keys.size(), 1u);
        std::vector<xmca::reg::PendingRecord> rows;
        ASSERT_TRUE(queue.entries(keys[0], rows, error)) << error;
        ASSERT_EQ(rows.size(), 3u);
        ASSERT_TRUE(queue.setAside(rows[0].seq, "value too long for type", error)) << error;
    }
    status.check();
    EXPECT_EQ(nextCheck(status, 15000), 2);
    EXPECT_EQ(status.setAside(), 1);
    EXPECT_EQ(lab.setAside(), 1);
    EXPECT_NE(status.text().indexOf("1 record(s) refused by the register server and set aside"), -1)
        << status.text().toStdString();
    EXPECT_NE(status.text().indexOf("2 record"), -1) << status.text().toStdString();
    EXPECT_NE(status.styleSheet().indexOf("#d0202a"), -1);

    lab.setRegisterLocation(QString::fromStdString(dir.file("register.sqlite")));  // a local file: nothing waits
    EXPECT_TRUE(status.isHidden());
    EXPECT_EQ(status.waiting(), 0);
    EXPECT_EQ(status.setAside(), 0);
    unsetenv("XMCA_REGISTER_QUEUE");
}

}  // namespace
