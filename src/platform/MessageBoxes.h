// The one seam through which the console asks the operator: message boxes and file dialogs.
#pragma once

#include <QString>
#include <functional>

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel };
enum class MsgResult { Ok, Cancel }; // closing a box with Escape or its close button is Cancel

struct MessageRequest {
    QString caption;
    QString text;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

enum class FileDialogKind { Open, Save };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Save;
    QString caption;
    QString fileName;   // proposed name or folder
    QString filter;     // Qt filter text, e.g. "Excel 文件 (*.xlsx)"
    QString defaultSuffix;
    // A save dialog's caller that writes under another name than the one chosen (after the default
    // suffix) says which here; the name returned, and asked about when it exists, is that name.
    std::function<QString(const QString& chosen)> nameWritten;
};

namespace MessageBoxes {

// Shows an application-modal box and returns the operator's choice. Callable from any thread:
// a worker blocks until the box, shown on the user-interface thread, is closed.
MsgResult Show(const MessageRequest& request);

// Runs a file dialog; returns the chosen path or the empty text when cancelled. Any thread.
// A save dialog's default suffix is added to a chosen name that has none, whoever answered, and the
// request's nameWritten applied. The dialog itself asks about no existing file: when the name
// returned exists, one box asks whether to replace that file; "取消" goes back to the dialog.
QString AskFile(const FileDialogRequest& request);

// Tests install answerers that record the request and answer without a window.
// An empty function restores the real dialogs. The answerers may be called from any thread.
void SetAnswerer(std::function<MsgResult(const MessageRequest&)> answerer);
void SetFileAnswerer(std::function<QString(const FileDialogRequest&)> answerer);

// Once the console has begun to close, nothing more is put before the operator: while silent, a
// box returns Cancel and a file dialog the empty text at once, without a window and without an
// answerer. Turning it on, on the user-interface thread, also answers so what workers asked for
// before and still wait for, and returns when none of them waits any more.
void SetSilent(bool silent);

} // namespace MessageBoxes
