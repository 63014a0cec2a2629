// The commands that open the settings and data-source dialogs.
#include "console/MainForm.h"
#include "windows/FormDataSource.h"
#include "windows/FormPreference.h"

#include <memory>

void TMainForm::BtnLogClick()
{
    // The dialog writes the settings itself; nothing is read back from it.
    std::unique_ptr<TFormPreference> dialog(new TFormPreference());
    FormPreference = dialog.get();
    dialog->exec();
    FormPreference = nullptr;
}

void TMainForm::N18Click() { BtnLogClick(); }

void TMainForm::O1Click()
{
    std::unique_ptr<TFormDataSource> dialog(new TFormDataSource());
    FormDataSource = dialog.get();
    dialog->exec();
    FormDataSource = nullptr;
}
