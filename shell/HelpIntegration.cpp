#include "HelpIntegration.h"

#include <QPointer>
#include <QWidget>

#include "HtmlHelp.h"
#include "Translations.h"

namespace {

struct THelpTarget {
    QPointer<QWidget> Owner;
    QString File;
};

THelpTarget& Target()
{
    static THelpTarget target;
    return target;
}

} // namespace

void SetHelpTarget(QWidget* owner, const QString& helpFile) { Target() = {owner, helpFile}; }

QWidget* HelpOwner() { return Target().Owner; }

bool HelpHandler(int Command, qintptr Data, bool& CallHelp)
{
    CallHelp = false;
    switch (Command) {
    case HELP_CONTEXT:
        if (Data != 0)
            if (const QObject* component = ComponentOfHelpContext(Data))
                ShowTopic(component->objectName().trimmed().replace(QLatin1Char(' '), QLatin1Char('_')));
        break;
    case HELP_QUIT:
    case HELP_SETPOPUP_POS:
        break;
    case HELP_KEY:
        ShowContents();
        break;
    default:
        ShowContextHelp(Data);
        break;
    }
    return false;
}

void ShowTopic(const QString& topic)
{
    HtmlHelpA(Target().Owner, Target().File + QStringLiteral("::/") + topic + QStringLiteral(".html"), HH_DISPLAY_TOPIC, 0);
}

void ShowContents() { HtmlHelpA(Target().Owner, Target().File, HH_DISPLAY_TOC, 444); }

void ShowContextHelp(qintptr context)
{
    QWidget* viewer = HtmlHelpA(Target().Owner, Target().File, HH_DISPLAY_INDEX, 0);
    HtmlHelpA(viewer, Target().File, HH_HELP_CONTEXT, context);
}
