// The main window as the units below the console reach it: MainForm->LogWarning(...) and the other
// services of ConsoleServices, without the console's headers. A unit of the console includes
// console/MainForm.h instead; the two names MainForm never meet in one file.
#pragma once

#include "foundation/ConsoleServicesInterface.h"

using Services::MainForm;
