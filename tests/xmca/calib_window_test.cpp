// The "Eng.Calib" page: calibration boxes and messages, cursor energy, FWHM and
// the peak fit with its curve, and the calibration carried through a saved file.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

#include "display/fit_curve.h"
#include "display/frame_renderer.h"
#include "files/temp_dir.h"
#include "support/scripted_analyser.h"
#include "ui_tform1.h"
#include "xmca/tform1.h"

namespace {

struct CalibWindow {
    std::unique_ptr<TForm1> form;
    CalibWindow() {
        form = std::make_unique<TForm1>(std::make_unique<xmca::test::ScriptedAnalyser>(), TForm1::Options{});
        form->state().spectrum.fill(0);
    }
    Ui::TForm1* ui() { return form->form(); }
    xmca::MeasurementState& s() { return form->state(); }
    void calibrate(const char* l, const char* h, const char* el, const char* eh) {
        ui()->LowCh->setText(l);
        ui()->HiCh->setText(h);
        ui()->LoEng->setText(el);
        ui()->HiEng->setText(eh);
        ui()->EngCalib->click();
    }
    // A Gaussian line of the given FWHM over a flat 20.
    void addLine(double x0, double fwhm, double height) {
        for (int k = 0; k < 2048; ++k) {
            const double d = (k - x0) / fwhm;
            s().spectrum[k] += static_cast<std::int32_t>(height * std::exp(-2.773 * d * d) + 0.5);
        }
    }
    int curvePixels() {
        const QImage img = ui()->PaintBox1->frame().convertToFormat(QImage::Format_RGB32);
        const QRgb want = xmca::display::toQColor(xmca::display::kFitCurveColour).rgb();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) == want;
        return n;
    }
};

}  // namespace

TEST(CalibWindow, ExecCalibSetsCalibrationAndCursorEnergy) {
    CalibWindow w;
    w.s().view.cursor = 150;
    w.ui()->ChKev->setText("keV");
    w.calibrate("100", "200", "662", "1332");
    const auto& c = w.s().cal;
    EXPECT_EQ(c.calibrated, 1);
    EXPECT_EQ(c.gain, 6.7f);
    EXPECT_EQ(c.offset, -8.0f);
    EXPECT_EQ(c.lowCh, 100.0f);
    EXPECT_EQ(c.highEng, 1332.0f);
    EXPECT_EQ(c.unit, "keV");
    EXPECT_EQ(w.ui()->Label8->text(), QString::asprintf("%8.2f", 150 * 6.7f - 8.0));
    EXPECT_EQ(w.ui()->Label9->text(), "keV");
    // The energy label follows the cursor when Snap Peak moves it.
    w.addLine(400.0, 8.0, 500.0);
    w.s().view.cursor = 395;
    w.ui()->SnapPeak->click();
    ASSERT_EQ(w.s().view.cursor, 400);
    EXPECT_EQ(w.ui()->Label8->text(), QString::asprintf("%8.2f", 400 * 6.7f - 8.0));

    // Refused input: message, and the calibration in force stays.
    w.ui()->Edit1->setText("Status");
    w.calibrate("300", "300", "662", "1461");
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! Energy Calib LowCh = HighCh");
    w.calibrate("300", "400", "nan", "1461");
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! Energy Calib LowEng");
    w.calibrate("300", "400", "662", "");
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! Energy Calib HighEng");
    EXPECT_EQ(c.gain, 6.7f);
    EXPECT_EQ(c.offset, -8.0f);
    EXPECT_EQ(c.lowCh, 100.0f);
}

TEST(CalibWindow, ReferenceChannelBoxesFromCursorAndTheirMessages) {
    CalibWindow w;
    w.s().view.snapCentroid = 101.4f;
    w.s().view.cursor = 101;
    w.ui()->LengCh->click();
    EXPECT_EQ(w.ui()->LowCh->text(), "  101.40");
    EXPECT_FALSE(w.ui()->LengCh->isChecked());
    w.s().view.cursor = 102;
    w.ui()->HengCh->click();
    EXPECT_EQ(w.ui()->HiCh->text(), "102");
    EXPECT_FALSE(w.ui()->HengCh->isChecked());

    w.ui()->Edit1->setText("Status");
    w.ui()->LowCh->setText("10x");
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! EngCalib LowCh");
    w.ui()->HiCh->setText("");
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! EngCalib HiCh");
    w.ui()->Edit1->setText("Status");
    w.ui()->HiCh->setText("205.5");
    EXPECT_EQ(w.ui()->Edit1->text(), "Status");
}

TEST(CalibWindow, FwhmShowsCentroidAndWidthOrRefusesAnEmptyWindow) {
    CalibWindow w;
    auto& sp = w.s().spectrum;
    sp[699] = 10, sp[700] = 20, sp[701] = 10;
    w.s().view.cursor = 703;
    w.ui()->FWHM->click();
    EXPECT_EQ(w.ui()->Edit1->text(), "Peak   700.00 Ch.");
    EXPECT_EQ(w.ui()->FwhmVal->text(), "    1.00 ch");

    w.s().view.cursor = 1500;
    w.ui()->FWHM->click();
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! No Peak at Cursor");
    EXPECT_EQ(w.ui()->FwhmVal->text(), "    1.00 ch");  // nothing else changed
}

TEST(CalibWindow, PeakFitShowsStartValuesRefinedFigureAndCurveUntilAViewCommand) {
    CalibWindow w;
    w.addLine(660.0, 50.0, 3000.0);
    w.s().view.cursor = 662;
    w.form->PaintBox1Paint();
    EXPECT_EQ(w.curvePixels(), 0);

    w.ui()->MnKaFit->click();
    ASSERT_TRUE(w.form->fitCurveShown());
    const xmca::FitResult& f = w.form->fitCurve();
    EXPECT_NEAR(f.fwhm, 50.0, 1.0);
    const QString edit1 = w.ui()->Edit1->text();
    EXPECT_TRUE(edit1.endsWith(" Ch.")) << edit1.toStdString();
    EXPECT_NEAR(edit1.left(8).toDouble(), 660.0, 0.5);
    EXPECT_NEAR(w.s().view.snapCentroid, 660.0f, 0.5f);  // kept for the view
    EXPECT_TRUE(w.ui()->MnKaEng->text().endsWith(" eV"));
    EXPECT_EQ(w.ui()->MnKaFitResult->text(),
              QString::asprintf("Fit FWHM %.1f eV  chi2/dof %.2f", f.fwhmEv(), f.chi2PerDof));
    EXPECT_GT(w.curvePixels(), 20);

    // The curve stays through repaints, and goes with the next view command.
    w.form->PaintBox1Paint();
    EXPECT_GT(w.curvePixels(), 20);
    w.ui()->LogDisp->click();
    EXPECT_FALSE(w.form->fitCurveShown());
    EXPECT_EQ(w.curvePixels(), 0);
}

TEST(CalibWindow, PeakFitWithActivityResultsOnlyClearsThem) {
    CalibWindow w;
    w.addLine(660.0, 50.0, 3000.0);
    w.s().view.cursor = 662;
    w.s().resultsFlag = 1;
    w.ui()->Edit1->setText("Status");
    w.ui()->MnKaFit->click();
    EXPECT_EQ(w.s().resultsFlag, 0);
    EXPECT_EQ(w.ui()->Edit1->text(), "Status");
    EXPECT_FALSE(w.form->fitCurveShown());
    EXPECT_TRUE(w.ui()->MnKaEng->text().isEmpty());

    w.s().spectrum.fill(0);
    w.ui()->MnKaFit->click();
    EXPECT_EQ(w.ui()->Edit1->text(), "Error ! No Peak at Cursor");
    EXPECT_FALSE(w.form->fitCurveShown());
}

TEST(CalibWindow, CalibrationTravelsThroughASavedFile) {
    xmca::test::TempDir dir;
    const QString path = QString::fromStdString(dir.file("cal.dat"));
    CalibWindow w;
    w.addLine(660.0, 50.0, 3000.0);
    w.calibrate("660", "1450", "661.66", "1460.82");
    const float gain = w.s().cal.gain, offset = w.s().cal.offset;
    ASSERT_EQ(w.s().cal.calibrated, 1);
    w.form->writeSpectrumPath(path);

    CalibWindow r;
    ASSERT_EQ(r.s().cal.calibrated, 0);
    r.form->readSpectrumPath(path);
    EXPECT_EQ(r.s().cal.calibrated, 1);
    EXPECT_EQ(r.s().cal.gain, gain);
    EXPECT_EQ(r.s().cal.offset, offset);
    EXPECT_EQ(r.s().spectrum[660], w.s().spectrum[660]);
}
