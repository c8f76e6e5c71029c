#include "xmca/mem_source.h"

#include "model/measurement_state.h"
#include "ui_tform1.h"

namespace xmca::ui {

void syncSelectedSource(const Ui::TForm1& ui, xmca::MeasurementState& state) {
    if (ui.Mem1Spec->isChecked()) state.selectedSource = 1;
    else if (ui.Mem2Spec->isChecked()) state.selectedSource = 2;
    else if (ui.Mem3Spec->isChecked()) state.selectedSource = 3;
    else state.selectedSource = 0;
}

void checkSelectedSource(Ui::TForm1& ui, const xmca::MeasurementState& state) {
    switch (state.selectedSource) {
        case 1: ui.Mem1Spec->setChecked(true); break;
        case 2: ui.Mem2Spec->setChecked(true); break;
        case 3: ui.Mem3Spec->setChecked(true); break;
        default: ui.McaMem->setChecked(true); break;
    }
}

}  // namespace xmca::ui
