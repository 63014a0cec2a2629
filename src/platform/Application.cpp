// The application object: title, and the standard exception box for exceptions from event handlers.
#include "platform/Application.h"

#include "platform/Exception.h"
#include "platform/MessageBoxes.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

const char* const ApplicationTitle = "自助终端集中监控平台";

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The name stands in for the caption of windows that have none of their own.
    setApplicationName(QString::fromUtf8(ApplicationTitle));
    // Qt's own texts (the standard buttons "确定", "取消" ...) in the operator's language, like
    // everything else the operator reads. Without the translation file they stay English.
    auto* qtTexts = new QTranslator(this);
    if (qtTexts->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qtTexts);
    // Numbers, dates, sizes and file types that Qt writes for the operator follow the same
    // language, whatever the machine's own settings.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        return true;
    }
}

void TApplication::ShowException(const std::exception_ptr& error)
{
    QString message;
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const Exception& e) {
        message = e.Message;
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        // any other thrown value is shown with an empty message
    }
    MessageRequest request;
    request.caption = QString::fromUtf8(ApplicationTitle);
    request.text = message;
    request.icon = MsgIcon::Error;
    request.buttons = MsgButtons::Ok;
    MessageBoxes::Show(request);
}
