// The History page on its own (a document, the laboratory and scripted dialogs,
// no main window): the date filter takes the laboratory's days, in local time, as
// the table shows the records, though the register keeps UTC.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <ctime>

#include "files/temp_dir.h"
#include "support/scoped_env.h"
#include "support/scripted_dialogs.h"
#include "xmca/history_model.h"
#include "xmca/history_page.h"
#include "xmca/lab_context.h"
#include "xmca/measurement_document.h"

namespace {

// Local time for the test: Japan's, as a POSIX rule (no time-zone database needed).
struct JapanTime {
    xmca::test::ScopedEnv tz{"TZ", "JST-9"};
    JapanTime() { tzset(); }
    ~JapanTime() { tzset(); }
};

TEST(HistoryPage, DatesAreLocalDaysNotUtcDays) {
    JapanTime japan;
    xmca::test::TempDir dir;
    const std::string db = dir.file("register.sqlite");
    {
        std::string error;
        auto reg = xmca::reg::openRegister(db, error);
        ASSERT_TRUE(reg) << error;
        // 23:00 on the 12th, 05:00 on the 13th and 01:00 on the 14th, Japan time.
        for (const char* utc : {"2026-04-12T14:00:00Z", "2026-04-12T20:00:00Z", "2026-04-13T16:00:00Z"}) {
            xmca::reg::MeasurementRecord r;
            r.sampleId = utc;
            r.createdUtc = utc;
            ASSERT_TRUE(reg->appendMeasurement(r, error)) << error;
        }
    }
    MeasurementDocument doc;
    LabContext lab(dir.file("settings.ini"));
    lab.setRegisterLocation(QString::fromStdString(db));
    xmca::test::ScriptedDialogs dialogs;
    HistoryPage page(doc, lab, dialogs);
    auto shown = [&](const char* from, const char* to) {
        page.findChild<QLineEdit*>(QStringLiteral("HistoryFrom"))->setText(QString::fromLatin1(from));
        page.findChild<QLineEdit*>(QStringLiteral("HistoryTo"))->setText(QString::fromLatin1(to));
        page.refresh();
        EXPECT_TRUE(lab.settle());
        QStringList ids;
        for (int r = 0; r < page.model().rowCount(); ++r)
            ids << page.model().data(page.model().index(r, HistoryModel::ColSampleId), Qt::DisplayRole).toString();
        return ids;
    };
    EXPECT_EQ(shown("2026-04-13", "2026-04-13"), QStringList{"2026-04-12T20:00:00Z"});
    EXPECT_EQ(shown("2026-04-12", "2026-04-12"), QStringList{"2026-04-12T14:00:00Z"});
    EXPECT_EQ(shown("2026-04-14", ""), QStringList{"2026-04-13T16:00:00Z"});
    EXPECT_EQ(shown("", "2026-04-13").size(), 2);
}

}  // namespace
