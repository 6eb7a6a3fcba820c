#include "HtmlHelp.h"

#include <QFileInfo>
#include <QPointer>
#include <QWidget>

#include "HelpViewer.h"

namespace {

QPointer<THelpViewer>& Viewer()
{
    static QPointer<THelpViewer> viewer;
    return viewer;
}

THelpViewer* ViewerFor(const QString& collection, QWidget* owner)
{
    QPointer<THelpViewer>& viewer = Viewer();
    if (viewer && viewer->Collection() != collection)
        delete viewer;
    if (!viewer) {
        viewer = new THelpViewer(collection);
        if (owner)
            viewer->move(owner->window()->geometry().center() - viewer->rect().center());
    }
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}

} // namespace

QString HelpCollectionOf(const QString& helpFile)
{
    const QFileInfo info(helpFile);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".qhc");
}

QWidget* HtmlHelpA(QWidget* owner, const QString& file, int command, qintptr data)
{
    const qsizetype page = file.indexOf(QStringLiteral("::"));
    THelpViewer* viewer = ViewerFor(HelpCollectionOf(page < 0 ? file : file.left(page)), owner);
    switch (command) {
    case HH_DISPLAY_TOPIC:
        viewer->ShowPage(page < 0 ? QString() : file.mid(page + 2));
        break;
    case HH_DISPLAY_TOC:
        viewer->ShowContents();
        break;
    case HH_DISPLAY_INDEX:
        viewer->ShowIndex();
        break;
    case HH_HELP_CONTEXT:
        viewer->ShowContext(data);
        break;
    default:
        break;
    }
    return viewer;
}

void CloseHelp() { delete Viewer(); }
