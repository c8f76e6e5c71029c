// Activity section of the main window: the activity page's controller (the "Calic"
// menu, "  Bq. Calic", "Re Calic" and the page's screening figures, in
// activity_page_controller.cpp), made here with the window's widgets, state,
// laboratory and dialogs; the handlers below are kept for the other sections and
// the tests, and forward to it.
#include "tform1.h"
#include "xmca/activity_page_controller.h"

void TForm1::wireActivity() {
    activity_ = new ActivityPage(*ui, state_, *lab_, *dialogs_, this);
    connect(activity_, &ActivityPage::repaintRequested, this, &TForm1::PaintBox1Paint);
    connect(activity_, &ActivityPage::status, this, &TForm1::showStatus);
    connect(activity_, &ActivityPage::labelsChanged, this, &TForm1::updateWindowLabels);
    connect(activity_, &ActivityPage::expandRequested, this, &TForm1::ExpandClick);
}

void TForm1::DataComp1Click() { activity_->dataCompress(); }
void TForm1::DataSmmth() { activity_->dataSmooth(); }
void TForm1::BGSubtruct1Click() { activity_->subtractBackground(); }
void TForm1::PeakFund() { activity_->peakFind(); }
void TForm1::BqCalic1Click() { activity_->bqCalic(); }
void TForm1::BqCalicClick() { activity_->bqCalicAndExpand(); }
void TForm1::ExpertModeClick() { activity_->reCalic(); }
void TForm1::ScreenLevelChange() { activity_->screenLevelChanged(); }
void TForm1::LowerLimitChange() { activity_->lowerLimitChanged(); }
void TForm1::showActivityResults() { activity_->showResults(); }
