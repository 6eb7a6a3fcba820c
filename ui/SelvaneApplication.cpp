#include "SelvaneApplication.h"

#include <cstdio>
#include <exception>

#include "AppIcon.h"
#include "HelpBridge.h"
#include "HtmlHelp.h"
#include "MessageForm.h"
#include "Translations.h"

TSelvaneApplication::TSelvaneApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Selvane"));
    setApplicationDisplayName(QStringLiteral("Selvane Dialog"));
    setWindowIcon(SelvaneIcon());
    LoadTranslations();
    RegisterHelpBridge();
}

TSelvaneApplication::~TSelvaneApplication()
{
    CloseHelp();
    UnregisterHelpBridge();
}

bool TSelvaneApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowException(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown error"));
    }
    return false;
}

void ShowException(const QString& message)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "selvane: %s\n", message.toLocal8Bit().constData());
        return;
    }
    MessageDialog(message, mtError, Btn(mbOK));
}

void Guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        ShowException(QString::fromUtf8(error.what()));
    }
}
