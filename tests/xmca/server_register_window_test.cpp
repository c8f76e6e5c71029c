// The window on a laboratory register: a record made while the register server
// does not answer waits in the local queue, the page says so and the status bar
// counts it; the History page filters by installation.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <optional>

#include "device/simulated_analyser.h"
#include "files/temp_dir.h"
#include "register/register.h"
#include "ui_tform1.h"
#include "xmca/history_model.h"
#include "xmca/history_page.h"
#include "xmca/register_queue_status.h"
#include "xmca/screening_page.h"
#include "support/scripted_dialogs.h"
#include "xmca/tform1.h"

namespace {

using xmca::test::TempDir;

class EnvVar {
public:
    EnvVar(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvVar() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct Window {
    TempDir dir;
    EnvVar config{"XDG_CONFIG_HOME", dir.file("config")};
    EnvVar data{"XDG_DATA_HOME", dir.file("data")};
    EnvVar queue{"XMCA_REGISTER_QUEUE", dir.file("queue.sqlite")};
    std::shared_ptr<xmca::ManualClock> clock = std::make_shared<xmca::ManualClock>();
    xmca::SimulatedAnalyser* sim = nullptr;
    std::unique_ptr<TForm1> form;

    explicit Window(const std::string& location) {
        xmca::SimulatedAnalyserConfig cfg;
        cfg.seed = 11;
        auto driver = std::make_unique<xmca::SimulatedAnalyser>(cfg, clock);
        sim = driver.get();
        TForm1::Options o;
        o.simulated = true;
        o.dialogs = std::make_shared<xmca::test::ScriptedDialogs>();  // every dialog cancelled
        form = std::make_unique<TForm1>(std::move(driver), o);
        form->lab().setRegisterLocation(QString::fromStdString(location));
    }
    // Until the register thread has answered everything asked of it.
    void settle() { ASSERT_TRUE(form->lab().settle()); }
    template <class W>
    W* w(const char* name) {
        W* found = form->findChild<W*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    void acquire(const char* seconds, const char* button) {
        w<QLineEdit>(seconds)->setText("600");
        w<QPushButton>(button)->click();
        for (int i = 0; i < 2000 && form->Timer1->isActive(); ++i) {
            clock->advance(10.0);
            form->Timer1Timer();
        }
    }
};

TEST(ServerRegisterWindow, RecordWaitsWhileTheServerDoesNotAnswerAndTheStatusBarCountsIt) {
    Window win("postgresql://xmca_app@127.0.0.1:1/xmca?connect_timeout=2");
    win.sim->setSample(0, 0, 0);
    win.acquire("BackgroundSeconds", "BackgroundAcquire");
    win.sim->setSample(20, 60, 500);
    win.w<QLineEdit>("SampleId")->setText("椎茸-7");
    win.acquire("SampleSeconds", "SampleAcquire");
    win.w<QPushButton>("Evaluate")->click();
    win.settle();
    auto* page = win.form->findChild<ScreeningPage*>();
    ASSERT_TRUE(page->outcome().has_value()) << win.w<QLabel>("ScreeningMessage")->text().toStdString();

    auto* waiting = win.w<RegisterQueueStatus>("RegisterWaiting");
    QEventLoop loop;
    qint64 counted = -1;
    QObject::connect(waiting, &RegisterQueueStatus::checked, &loop, [&](qint64 n) {
        counted = n;
        if (n > 0) loop.quit();
    });
    win.w<QPushButton>("Record")->click();
    win.settle();
    EXPECT_TRUE(win.w<QLabel>("ScreeningMessage")->text().startsWith("Recorded locally"))
        << win.w<QLabel>("ScreeningMessage")->text().toStdString();
    EXPECT_EQ(win.w<QLabel>("RecordId")->text(), "Waiting for the register server");
    EXPECT_EQ(page->record().id, 0);
    EXPECT_FALSE(win.w<QPushButton>("Record")->isEnabled());
    page->recordResult();  // once only: the record already waits
    win.settle();
    if (counted <= 0) {
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    EXPECT_EQ(counted, 1);
    EXPECT_FALSE(waiting->isHidden());
    EXPECT_TRUE(waiting->text().startsWith("1 record")) << waiting->text().toStdString();
}

TEST(ServerRegisterWindow, HistoryFiltersByInstallation) {
    TempDir dir;
    const std::string db = dir.file("register.sqlite");
    {
        std::string error;
        auto reg = xmca::reg::openRegister(db, error);
        ASSERT_TRUE(reg) << error;
        for (const char* inst : {"det-A", "det-B", "det-A"}) {
            xmca::reg::MeasurementRecord r;
            r.installation = inst;
            r.sampleId = std::string("from-") + inst;
            ASSERT_TRUE(reg->appendMeasurement(r, error)) << error;
        }
    }
    Window win(db);
    auto* history = win.form->findChild<HistoryPage*>();
    history->refresh();
    win.settle();
    EXPECT_EQ(history->model().total(), 3);
    win.w<QLineEdit>("HistoryInstallation")->setText("det-A");
    history->refresh();
    win.settle();
    EXPECT_EQ(history->model().total(), 2);
    win.w<QLineEdit>("HistoryInstallation")->setText("det-C");
    history->refresh();
    win.settle();
    EXPECT_EQ(history->model().total(), 0);
}

}  // namespace
