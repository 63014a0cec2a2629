// A console for database tests: fresh database, temporary settings, main window, database module.
#include "support/ConsoleDb.h"

#include "console/MainForm.h"
#include "foundation/DbMod.h"
#include "support/TestDb.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextEdit>

namespace ConsoleDb {

namespace {
QTemporaryDir* settings = nullptr;
}

void SetUp()
{
    if (settings)
        return;
    TestDb::CreateFresh();
    settings = new QTemporaryDir();
    TMainForm::SetConfigDirForTest(settings->path());
    MainForm = new TMainForm();
    FormDbMod = new TFormDbMod();
}

QString SettingsDir() { return settings ? settings->path() : QString(); }

QString LogText()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    return MainForm && MainForm->MemoInfo ? MainForm->MemoInfo->toPlainText() : QString();
}

void ClearLog()
{
    LogText();
    if (MainForm && MainForm->MemoInfo)
        MainForm->MemoInfo->clear();
}

} // namespace ConsoleDb
