// Setup section of the main window: the MCA setup dialog and the scan-map page.
#include "tform1.h"
#include "ui_tform1.h"

void TForm1::wireSetup() {}
