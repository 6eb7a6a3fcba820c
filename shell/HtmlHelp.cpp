#include "HtmlHelp.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>
#include <QWindow>

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
    // A modal dialog of the program blocks every other window but its own children: the
    // viewer, opened from such a dialog's Help button, stands by it as its child window
    // so that it can be read and used while the dialog is open.
    viewer->winId();
    const QWidget* modal = QApplication::activeModalWidget();
    viewer->windowHandle()->setTransientParent(modal && modal != viewer ? modal->window()->windowHandle() : nullptr);
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
