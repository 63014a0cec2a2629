// Message boxes and file dialogs on the user-interface thread, or the answerers installed by tests.
#include "platform/MessageBoxes.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

std::mutex answererLock;
std::function<MsgResult(const MessageRequest&)>& Answerer()
{
    static std::function<MsgResult(const MessageRequest&)> answerer;
    return answerer;
}
std::function<QString(const FileDialogRequest&)>& FileAnswerer()
{
    static std::function<QString(const FileDialogRequest&)> answerer;
    return answerer;
}

// Silence, and the requests of other threads than the user-interface thread that are under way.
std::mutex silenceLock;
bool silent = false;
int waitingRequests = 0;

// How often turning silence on looks whether the waiting requests have been answered.
constexpr auto WaitingPollInterval = std::chrono::milliseconds(1);

bool OnUserInterfaceThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool Silent()
{
    std::lock_guard<std::mutex> guard(silenceLock);
    return silent;
}

// One box or file dialog asked for: refused while silent; a worker's request is counted until it
// has been answered, so that silence can wait for it.
class Request {
public:
    Request()
    {
        std::lock_guard<std::mutex> guard(silenceLock);
        allowed_ = !silent;
        counted_ = allowed_ && !OnUserInterfaceThread();
        if (counted_)
            ++waitingRequests;
    }
    ~Request()
    {
        if (!counted_)
            return;
        std::lock_guard<std::mutex> guard(silenceLock);
        --waitingRequests;
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
    bool Allowed() const { return allowed_; }

private:
    bool allowed_ = false;
    bool counted_ = false;
};

QMessageBox::Icon ToQtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::Error: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

MsgResult ShowBox(const MessageRequest& request)
{
    // No parent: a window that closes while the box is open must not take the box with it.
    QMessageBox box(ToQtIcon(request.icon), request.caption, request.text, QMessageBox::NoButton);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setTextFormat(Qt::PlainText); // messages carry data; never read them as markup
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    if (request.buttons == MsgButtons::OkCancel) {
        QPushButton* cancel = box.addButton(QMessageBox::Cancel);
        box.setEscapeButton(cancel);
        box.setDefaultButton(ok);
    }
    box.exec();
    return box.clickedButton() == ok ? MsgResult::Ok : MsgResult::Cancel;
}

// Sizes as a Chinese desktop writes them: counted in 1024s and named KB, MB, GB ... ("2.13 KB"), not
// KiB, MiB ...; below 1 KB in bytes ("20 字节"). Qt's traditional format counts so, but names the
// kilo with the SI "kB".
QString DesktopDataSize(qint64 bytes)
{
    QString text = QLocale().formattedDataSize(bytes, 2, QLocale::DataSizeTraditionalFormat);
    if (text.endsWith(QLatin1String(" kB")))
        text[text.size() - 2] = QLatin1Char('K');
    return text;
}

// The file dialog's list in the operator's language. Qt's file model writes sizes and dates in the
// machine's own locale and leaves "Folder" untranslated; this view of it writes them in the
// application's locale and names folders in Chinese. Names, and the types of files (which follow
// the application's locale already), pass unchanged.
class LocalFileList : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex file = mapToSource(index);
        switch (index.column()) {
        case SizeColumn:
            return files->isDir(file) ? QString() : DesktopDataSize(files->size(file));
        case TypeColumn:
            if (files->isDir(file))
                return QStringLiteral("文件夹");
            break;
        case DateColumn:
            return QLocale().toString(files->lastModified(file), QLocale::ShortFormat);
        default:
            break;
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    // The columns of QFileSystemModel after the name.
    static constexpr int SizeColumn = 1;
    static constexpr int TypeColumn = 2;
    static constexpr int DateColumn = 3;
};

QString ShowFileDialog(const FileDialogRequest& request)
{
    QFileDialog dialog(nullptr, request.caption);
    dialog.setObjectName(QStringLiteral("FileDialog"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setProxyModel(new LocalFileList(&dialog));
    if (request.kind == FileDialogKind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The name written may differ from the one typed (a suffix added or replaced): the
        // question about an existing file is asked once the name is final (AskFile).
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.filter.isEmpty())
        dialog.setNameFilter(request.filter);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

// The question before a save replaces an existing file, as the file dialog words it.
MessageRequest ReplaceQuestion(const FileDialogRequest& request, const QString& path)
{
    const QString caption = request.caption.isEmpty() ? QStringLiteral("另存为") : request.caption;
    return {caption, QFileInfo(path).fileName() + QStringLiteral(" 已存在。\n您想要替换它吗？"), MsgIcon::Warning,
            MsgButtons::OkCancel};
}

// Runs fn on the user-interface thread: directly there, otherwise blocking only the caller.
template <typename Result, typename Fn>
Result OnUiThread(Fn fn, Result whenNoApplication)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return whenNoApplication;
    if (QThread::currentThread() == app->thread())
        return fn();
    Result result = whenNoApplication;
    QMetaObject::invokeMethod(app, [&] { result = fn(); }, Qt::BlockingQueuedConnection);
    return result;
}

} // namespace

namespace MessageBoxes {

MsgResult Show(const MessageRequest& request)
{
    const Request underWay;
    if (!underWay.Allowed())
        return MsgResult::Cancel;
    std::function<MsgResult(const MessageRequest&)> answerer;
    {
        std::lock_guard<std::mutex> guard(answererLock);
        answerer = Answerer();
    }
    if (answerer)
        return answerer(request);
    // Silence may have come while the request waited for the user-interface thread.
    return OnUiThread([&] { return Silent() ? MsgResult::Cancel : ShowBox(request); }, MsgResult::Cancel);
}

QString AskFile(const FileDialogRequest& request)
{
    const Request underWay;
    if (!underWay.Allowed())
        return QString();
    std::function<QString(const FileDialogRequest&)> answerer;
    {
        std::lock_guard<std::mutex> guard(answererLock);
        answerer = FileAnswerer();
    }
    FileDialogRequest asked = request;
    for (;;) {
        QString chosen = answerer ? answerer(asked) : OnUiThread([&] {
            return Silent() ? QString() : ShowFileDialog(asked);
        }, QString());
        if (asked.kind != FileDialogKind::Save || chosen.isEmpty())
            return chosen;
        if (!asked.defaultSuffix.isEmpty() && QFileInfo(chosen).suffix().isEmpty())
            chosen += QLatin1Char('.') + asked.defaultSuffix;
        if (asked.nameWritten)
            chosen = asked.nameWritten(chosen);
        // A folder under that name is not replaced: the write fails and says so.
        const QFileInfo existing(chosen);
        if (!existing.exists() || existing.isDir() || Show(ReplaceQuestion(asked, chosen)) == MsgResult::Ok)
            return chosen;
        asked.fileName = chosen;
    }
}

void SetAnswerer(std::function<MsgResult(const MessageRequest&)> answerer)
{
    std::lock_guard<std::mutex> guard(answererLock);
    Answerer() = std::move(answerer);
}

void SetFileAnswerer(std::function<QString(const FileDialogRequest&)> answerer)
{
    std::lock_guard<std::mutex> guard(answererLock);
    FileAnswerer() = std::move(answerer);
}

void SetSilent(bool on)
{
    {
        std::lock_guard<std::mutex> guard(silenceLock);
        silent = on;
    }
    if (!on)
        return;
    // A worker's request may already wait in the user-interface thread's queue: it is answered
    // here (silently), since that thread may not run its message loop again.
    QCoreApplication* app = QCoreApplication::instance();
    const bool serve = OnUserInterfaceThread();
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(silenceLock);
            if (waitingRequests == 0)
                return;
        }
        if (serve)
            QCoreApplication::sendPostedEvents(app, QEvent::MetaCall);
        std::this_thread::sleep_for(WaitingPollInterval);
    }
}

} // namespace MessageBoxes
