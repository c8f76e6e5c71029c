// Files section of the main window: spectrum files, text dump, memory spectra and
// the snapshot overlays.
#include "tform1.h"
#include "ui_tform1.h"

void TForm1::wireFiles() {}
