// The N42 menu items of the main window, driven through their actions with the
// file dialog bypassed.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>

#include <filesystem>

#include "files/sjis_text.h"
#include "files/temp_dir.h"
#include "n42/n42_document.h"
#include "support/n42_schema.h"
#include "support/scripted_analyser.h"
#include "ui_tform1.h"
#include "support/scripted_dialogs.h"
#include "xmca/tform1.h"

namespace {

using H = xmca::SpectrumHeader;

struct N42Window {
    std::unique_ptr<TForm1> form;
    std::shared_ptr<xmca::test::ScriptedDialogs> dialogs = std::make_shared<xmca::test::ScriptedDialogs>();
    QString& next = dialogs->next;  // what the "dialog" answers; empty = cancel
    std::vector<PageDialogs::FileQuestion>& asked = dialogs->asked;
    N42Window() {
        TForm1::Options o;
        o.dialogs = dialogs;
        form = std::make_unique<TForm1>(std::make_unique<xmca::test::ScriptedAnalyser>(), o);
    }
    Ui::TForm1* ui() { return form->form(); }
    xmca::MeasurementState& s() { return form->state(); }
};

TEST(N42Window, MenuItemsSitBesideReadAndWrite) {
    N42Window w;
    QStringList texts;
    for (QAction* a : w.ui()->File1->actions()) texts << a->text();
    const auto read = texts.indexOf("&Read");
    ASSERT_GE(read, 0);
    EXPECT_EQ(texts.mid(read, 4), (QStringList{"&Read", "&Write", "Import N42...", "Export N42..."}));
}

TEST(N42Window, ExportWritesTheSpectrumOnScreenAndImportLoadsItLikeRead) {
    xmca::test::TempDir dir;
    N42Window w;
    auto& s = w.s();
    s.channelCount = 1024;
    for (int i = 0; i < 1024; ++i) s.spectrum[i] = 5 * i + 1;
    s.liveTime = 1195;
    s.realTime = 1200;
    s.presetTimeShown = 1200;
    s.cal.gain = 1.5f;
    s.cal.offset = 2.0f;
    s.cal.calibrated = 1;
    s.header.setI16(H::kYear, 2026);
    s.header.setI16(H::kMonth, 7);
    s.header.setI16(H::kDay, 1);
    s.header.setText(H::kComment, xmca::utf8ToSjis("白米 検体"));
    const H before = s.header;

    w.next = QString::fromStdString(dir.file("screen.n42"));
    w.ui()->ExportN42->trigger();
    ASSERT_EQ(w.asked.back().kind, PageDialogs::Kind::SaveN42);
    EXPECT_EQ(s.header, before);  // exporting leaves the working header alone
    EXPECT_EQ(xmca::test::n42SchemaErrors(xmca::test::readAll(dir.file("screen.n42"))), "");
    const auto doc = xmca::n42::importN42File(dir.file("screen.n42"));
    ASSERT_TRUE(doc.ok) << doc.error;
    EXPECT_EQ(doc.spectrum.counts[1023], 5116);
    EXPECT_EQ(doc.spectrum.header.i32(H::kLiveTime), 1195);
    EXPECT_EQ(xmca::sjisToUtf8(doc.spectrum.header.comment()), "白米 検体");

    // Back into memory 1 after the screen has changed.
    s.spectrum.fill(0);
    s.channelCount = 2048;
    s.cal = {};
    w.ui()->Mem1Spec->setChecked(true);
    w.next = QString::fromStdString(dir.file("screen.n42"));
    w.ui()->ImportN42->trigger();
    EXPECT_EQ(w.asked.back().kind, PageDialogs::Kind::OpenN42);
    EXPECT_EQ(s.channelCount, 1024);
    EXPECT_EQ(s.spectrum[1023], 5116);
    EXPECT_EQ(s.mem[0].counts[10], 51);
    EXPECT_EQ(s.mem[0].name, "screen.n42");
    EXPECT_EQ(s.realTime, 1200);
    EXPECT_EQ(s.cal.calibrated, 1);
    EXPECT_EQ(s.cal.gain, 1.5f);
    EXPECT_EQ(w.ui()->Label2->text(), "1023ch");
    EXPECT_EQ(xmca::sjisToUtf8(s.header.comment()), "白米 検体");
}

TEST(N42Window, RefusalsShowInEdit1AndChangeNothing) {
    xmca::test::TempDir dir;
    N42Window w;
    auto& s = w.s();
    s.channelCount = 512;
    s.spectrum[3] = 42;

    xmca::test::writeAll(dir.file("bad.n42"), "<RadInstrumentData xmlns=\"http://physics.nist.gov/N42/2011/N42\">");
    w.next = QString::fromStdString(dir.file("bad.n42"));
    w.ui()->ImportN42->trigger();
    EXPECT_TRUE(w.ui()->Edit1->text().startsWith("Error !")) << w.ui()->Edit1->text().toStdString();
    EXPECT_EQ(s.spectrum[3], 42);
    EXPECT_EQ(s.channelCount, 512);

    // A header never stamped with a start date cannot be exported; nothing is written.
    w.ui()->Edit1->clear();
    w.next = QString::fromStdString(dir.file("out.n42"));
    w.ui()->ExportN42->trigger();
    EXPECT_TRUE(w.ui()->Edit1->text().startsWith("Error !"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.n42")));

    // Cancelled dialogs do nothing.
    w.ui()->Edit1->setText("Status");
    w.next.clear();
    w.ui()->ImportN42->trigger();
    w.ui()->ExportN42->trigger();
    EXPECT_EQ(w.ui()->Edit1->text(), "Status");
    EXPECT_EQ(w.asked.size(), 4u);
}

}  // namespace
