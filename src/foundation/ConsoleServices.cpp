// The main window's services for the units below the console.
#include "foundation/ConsoleServicesInterface.h"

ConsoleServices* Services::MainForm = nullptr;
