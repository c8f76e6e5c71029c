// The window's "Mem" radio group and the state's selected source: 0 the analyser
// ("McaMem"), 1..3 memory k ("Mem1Spec".."Mem3Spec"). Shared by the files section
// and the activity page, which both read and set the group.
#pragma once

namespace Ui {
class TForm1;
}
namespace xmca {
struct MeasurementState;
}

namespace xmca::ui {

// The checked "Mem" button into state.selectedSource.
void syncSelectedSource(const Ui::TForm1& ui, xmca::MeasurementState& state);
// Checks the "Mem" button of state.selectedSource (the analyser's for any other value).
void checkSelectedSource(Ui::TForm1& ui, const xmca::MeasurementState& state);

}  // namespace xmca::ui
