// How the record commands run their dialogs: made with the main window as owner, held in the
// dialog's form pointer while it runs, loaded, shown modally and freed.
#pragma once

#include <QWidget>

#include <memory>

// load(dialog) runs before the dialog shows (an edit loads its record there). The form pointer is
// cleared and the dialog freed on every way out, also when load or the dialog raises.
template <typename Dialog, typename Load>
void RunRecordDialog(QWidget* owner, Dialog*& formPointer, Load load)
{
    struct Release {
        Dialog*& pointer;
        ~Release() { pointer = nullptr; }
    };
    std::unique_ptr<Dialog> dialog(new Dialog(owner));
    formPointer = dialog.get();
    const Release release{formPointer};
    load(*dialog);
    dialog->exec();
}
