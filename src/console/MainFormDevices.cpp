// The device tree, the device grid and the detail box of the main window.
#include "console/MainForm.h"

void TMainForm::BuildDevicePanels() {}
