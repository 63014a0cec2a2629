// A console for database tests: fresh database, temporary settings, main window, database module.
#include "support/ConsoleDb.h"

#include "console/MainForm.h"
#include "foundation/DbMod.h"
#include "support/TestDb.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextEdit>
#include <utility>

namespace ConsoleDb {

namespace {
TFormDbMod* module = nullptr; // lives as long as the process
} // namespace

void SetUp()
{
    static bool done = false;
    if (std::exchange(done, true))
        return;
    TestDb::CreateFresh();
    static const QTemporaryDir settingsDir; // removed when the process ends
    TMainForm::SetConfigDirForTest(settingsDir.path());
    MainForm = new TMainForm();
    module = new TFormDbMod();
    FormDbMod.Open(module);
}

QString LogText()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    return MainForm->MemoInfo->toPlainText();
}

void ClearLog()
{
    LogText();
    MainForm->MemoInfo->clear();
}

TFormDbMod* Module()
{
    return module;
}

} // namespace ConsoleDb
