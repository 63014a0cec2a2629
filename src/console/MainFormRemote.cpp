// The remote commands of the main window and the device popup menus.
#include "console/MainForm.h"

void TMainForm::BuildRemoteMenus() {}
