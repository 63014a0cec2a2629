// A console for database tests: a fresh database, settings in a temporary folder, a main window
// whose console log can be read, and the database module in FormDbMod.
#pragma once

#include <QString>

class TFormDbMod;

namespace ConsoleDb {

// Once per process: fresh database (data source "zol"), an empty settings folder, MainForm and
// FormDbMod. Later calls do nothing.
void SetUp();
// The console log's text, after the lines handed over by worker threads have been written.
QString LogText();
void ClearLog();
// The module SetUp made, to open FormDbMod on again after a test has put another one there.
TFormDbMod* Module();

} // namespace ConsoleDb
