// The laboratory object of the window: one settings object written through, one
// register location, register calls on their own thread in the order asked and
// answered on the window thread; and pages that stay responsive and never show a
// stale or unchecked answer while the register is busy.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include <future>
#include <vector>

#include "files/temp_dir.h"
#include "model/lab_settings.h"
#include "register/register.h"
#include "support/scripted_analyser.h"
#include "support/scripted_dialogs.h"
#include "support/simulated_spectra.h"
#include "ui_tform1.h"
#include "xmca/history_model.h"
#include "xmca/history_page.h"
#include "xmca/lab_context.h"
#include "xmca/screening_page.h"
#include "xmca/tform1.h"

namespace {

using xmca::test::TempDir;

// Holds the register thread in a job until released, as a server that stalls does.
struct Stall {
    std::promise<void> release;
    explicit Stall(LabContext& lab) {
        auto gate = release.get_future().share();
        lab.request<int>(
            nullptr,
            [gate](RegisterAccess&) {
                gate.wait();
                return 0;
            },
            [](int) {});
    }
    void end() { release.set_value(); }
};

TEST(LabContext, SettingsAreWrittenThroughAndTheRegisterLocationHasOneSource) {
    TempDir dir;
    const std::string conf = dir.file("laboratory.conf");
    xmca::LabSettings s;
    s.laboratoryName = "Iwaki food lab";
    s.registerLocation = dir.file("lab.sqlite");
    ASSERT_TRUE(xmca::saveLabSettings(s, conf));

    LabContext lab(conf);
    EXPECT_EQ(lab.settings().laboratoryName, "Iwaki food lab");
    EXPECT_EQ(lab.registerLocation().toStdString(), dir.file("lab.sqlite"));  // the settings'
    int moved = 0, changed = 0;
    QObject::connect(&lab, &LabContext::registerLocationChanged, [&] { ++moved; });
    QObject::connect(&lab, &LabContext::settingsChanged, [&] { ++changed; });

    lab.setRegisterLocation(QString::fromStdString(dir.file("given.sqlite")));  // --register wins
    EXPECT_EQ(lab.registerLocation().toStdString(), dir.file("given.sqlite"));
    EXPECT_EQ(moved, 1);
    EXPECT_TRUE(lab.updateSettings([](xmca::LabSettings& x) { x.operatorName = "山田"; }));
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(moved, 1);  // the register did not move
    EXPECT_EQ(xmca::loadLabSettings(conf).operatorName, "山田");
    EXPECT_EQ(xmca::loadLabSettings(conf).laboratoryName, "Iwaki food lab");  // the rest kept

    lab.setRegisterLocation({});  // back to the settings'
    EXPECT_EQ(lab.registerLocation().toStdString(), dir.file("lab.sqlite"));
    lab.updateSettings([](xmca::LabSettings& x) { x.registerLocation.clear(); });
    EXPECT_EQ(lab.registerLocation().toStdString(), xmca::reg::defaultRegisterLocation());
    EXPECT_EQ(moved, 3);

    // A settings file that cannot be written: false, and the change holds for the session.
    xmca::test::writeAll(dir.file("plain"), "a file, not a folder");
    LabContext unwritable(dir.file("plain") + "/laboratory.conf");
    EXPECT_FALSE(unwritable.updateSettings([](xmca::LabSettings& x) { x.installation = "det-2"; }));
    EXPECT_EQ(unwritable.settings().installation, "det-2");
}

TEST(LabContext, JobsRunInOrderOffTheWindowThreadAndAnswerOnIt) {
    TempDir dir;
    LabContext lab(dir.file("laboratory.conf"));
    lab.setRegisterLocation(QString::fromStdString(dir.file("register.sqlite")));
    QThread* window = QThread::currentThread();
    std::vector<int> ran, answered;
    std::vector<bool> offThread, onWindow;
    for (int i = 0; i < 5; ++i)
        lab.request<int>(
            nullptr,
            [&, i, window](RegisterAccess& a) {
                offThread.push_back(QThread::currentThread() != window);
                ran.push_back(i);
                return a.reg() ? i : -1;
            },
            [&, window](int v) {
                onWindow.push_back(QThread::currentThread() == window);
                answered.push_back(v);
            });
    EXPECT_EQ(lab.outstanding(), 5);
    ASSERT_TRUE(lab.settle());
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(answered, (std::vector<int>{0, 1, 2, 3, 4}));  // each opened the register
    EXPECT_EQ(offThread, std::vector<bool>(5, true));
    EXPECT_EQ(onWindow, std::vector<bool>(5, true));
    EXPECT_EQ(lab.outstanding(), 0);

    // A receiver gone before the answer comes hears nothing (and nothing crashes).
    Stall stall(lab);
    auto* receiver = new QObject;
    bool heard = false;
    lab.request<int>(receiver, [](RegisterAccess&) { return 1; }, [&](int) { heard = true; });
    delete receiver;
    stall.end();
    ASSERT_TRUE(lab.settle());
    EXPECT_FALSE(heard);

    // A register that cannot be opened: each job says why, and the next one tries again.
    xmca::test::writeAll(dir.file("junk.sqlite"), std::string(4096, 'x'));
    lab.setRegisterLocation(QString::fromStdString(dir.file("junk.sqlite")));
    std::string why;
    lab.request<std::string>(nullptr, [](RegisterAccess& a) { return a.reg() ? std::string() : a.error(); },
                             [&](std::string e) { why = e; });
    ASSERT_TRUE(lab.settle());
    EXPECT_FALSE(why.empty());
}

struct Window {
    TempDir dir;
    std::shared_ptr<xmca::test::ScriptedDialogs> dialogs = std::make_shared<xmca::test::ScriptedDialogs>();
    std::unique_ptr<TForm1> form;
    std::string db = dir.file("register.sqlite");
    Window() {
        TForm1::Options o;
        o.dialogs = dialogs;
        form = std::make_unique<TForm1>(std::make_unique<xmca::test::ScriptedAnalyser>(), o);
        form->lab().setRegisterLocation(QString::fromStdString(db));
        EXPECT_TRUE(form->lab().settle());
    }
    template <class W>
    W* w(const char* name) {
        W* found = form->findChild<W*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
};

TEST(LabContextPages, HistoryStaysResponsiveWhileTheRegisterStallsAndEndsOnTheNewestFilter) {
    Window win;
    {
        std::string error;
        auto reg = xmca::reg::openRegister(win.db, error);
        ASSERT_TRUE(reg) << error;
        for (int i = 0; i < HistoryModel::kPage + 50; ++i) {
            xmca::reg::MeasurementRecord r;
            r.sampleId = i == 7 ? "tea-1" : "rice";
            ASSERT_TRUE(reg->appendMeasurement(r, error)) << error;
        }
    }
    auto* history = win.form->findChild<HistoryPage*>();
    history->refresh();
    ASSERT_TRUE(win.form->lab().settle());
    HistoryModel& m = history->model();
    ASSERT_EQ(m.total(), HistoryModel::kPage + 50);
    ASSERT_TRUE(m.canFetchMore({}));

    // The view asks for the next page of all records, then the operator filters for
    // tea, while the register does not answer.
    Stall stall(win.form->lab());
    QElapsedTimer clock;
    clock.start();
    m.fetchMore({});
    EXPECT_FALSE(m.canFetchMore({}));  // asked once, not again on every scroll
    win.w<QLineEdit>("HistorySampleId")->setText("tea-1");
    history->refresh();
    EXPECT_LT(clock.elapsed(), 200);  // the window thread did not wait for the register
    EXPECT_EQ(win.w<QLabel>("HistoryMessage")->text(), "Reading the register...");
    stall.end();
    ASSERT_TRUE(win.form->lab().settle());
    // Whatever came of the older filter's page, the table is tea's alone.
    EXPECT_EQ(m.total(), 1);
    ASSERT_EQ(m.rowCount(), 1);
    EXPECT_EQ(m.data(m.index(0, HistoryModel::ColSampleId), Qt::DisplayRole).toString(), "tea-1");
    EXPECT_EQ(win.w<QLabel>("HistoryMessage")->text(), "1 record(s)");
}

TEST(LabContextPages, NoVerdictIsShownBeforeTheQcStateIsRead) {
    Window win;
    xmca::SimulatedAnalyserConfig c;
    c.seed = 4;
    const std::string sample = win.dir.file("s.dat"), background = win.dir.file("b.dat");
    ASSERT_TRUE(xmca::test::acquireAndSave(c, 36000, sample));
    c.backgroundOnly = true;
    c.seed = 3;
    ASSERT_TRUE(xmca::test::acquireAndSave(c, 36000, background));
    win.dialogs->files = {QString::fromStdString(sample), QString::fromStdString(background)};
    Ui::TForm1* ui = win.form->form();
    ui->ReadSpec->click();
    ui->BGfile->click();

    Stall stall(win.form->lab());
    ui->BqCalic->click();
    // The figures are there; the verdict waits for the register.
    EXPECT_TRUE(win.form->state().activity.valid);
    EXPECT_EQ(ui->ScreenVerdict->text(), "No verdict - QC state could not be read");
    EXPECT_EQ(win.form->state().activity.screening.withheld, "QC state could not be read");
    stall.end();
    ASSERT_TRUE(win.form->lab().settle());
    EXPECT_EQ(ui->ScreenVerdict->text(), "Above screening level - confirm");
    EXPECT_TRUE(win.form->state().activity.screening.withheld.empty());

    // Screening page: an evaluation whose pair changed before the register answered is dropped.
    auto* page = win.form->findChild<ScreeningPage*>();
    win.dialogs->files = {QString::fromStdString(background), QString::fromStdString(sample)};
    page->chooseBackground();
    page->chooseSample();
    win.w<QLineEdit>("SampleId")->setText("rice-9");
    Stall again(win.form->lab());
    page->evaluate();
    EXPECT_FALSE(win.w<QPushButton>("Record")->isEnabled());  // nothing to record before the verdict
    win.dialogs->files = {QString::fromStdString(sample)};
    page->chooseBackground();  // the sample file as its own background
    again.end();
    ASSERT_TRUE(win.form->lab().settle());
    EXPECT_FALSE(page->outcome().has_value());
    EXPECT_FALSE(win.w<QPushButton>("Record")->isEnabled());
    EXPECT_TRUE(win.w<QLabel>("Verdict")->text().isEmpty());
}

}  // namespace
