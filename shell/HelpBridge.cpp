#include "HelpBridge.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include "ComponentSettings.h"
#include "HelpIntegration.h"

namespace {

// A request: the popup position first, then the command itself, both to the first of
// the window and the help owner whose help event takes them.
void Request(QWidget* window, QWidget* control, int command, qintptr data)
{
    QPoint position = control ? control->mapToGlobal(QPoint(0, 0)) : QPoint();
    QWidget* candidates[] = {window, HelpOwner()};
    for (QWidget* candidate : candidates) {
        if (!candidate)
            continue;
        THelpCommandEvent setPosition(HELP_SETPOPUP_POS, reinterpret_cast<qintptr>(&position));
        QCoreApplication::sendEvent(candidate, &setPosition);
        if (!setPosition.isAccepted())
            continue;
        THelpCommandEvent help(command, data);
        QCoreApplication::sendEvent(candidate, &help);
        return;
    }
}

void ContextRequest(QWidget* window, QWidget* control, int context) { Request(window, control, HELP_CONTEXT, context); }

QPointer<THelpBridge>& Bridge()
{
    static QPointer<THelpBridge> bridge;
    return bridge;
}

} // namespace

THelpCommandEvent::THelpCommandEvent(int command, qintptr data) : QEvent(EventType()), Command(command), Data(data) { ignore(); }

QEvent::Type THelpCommandEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

THelpBridge::THelpBridge(QObject* parent) : QObject(parent) {}

bool THelpBridge::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1)
            break;
        // Shift+F1 would be Qt's "What's This"; only a plain F1 asks for help.
        if (key->modifiers() == Qt::NoModifier)
            F1Pressed();
        return true;
    }
    case QEvent::WhatsThis:
    case QEvent::QueryWhatsThis:
    case QEvent::EnterWhatsThisMode:
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void THelpBridge::F1Pressed()
{
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        const QAction* entry = menu->activeAction();
        const int context = entry ? HelpContext(entry) : 0;
        QWidget* window = menu->parentWidget() ? menu->parentWidget()->window() : QApplication::activeWindow();
        // The menus give way to the help, as they do to a command.
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        ContextRequest(window, nullptr, context);
        return;
    }
    QWidget* control = QApplication::focusWidget();
    for (; control; control = control->isWindow() ? nullptr : control->parentWidget()) {
        const QString keyword = HelpKeyword(control);
        if (!keyword.isEmpty()) {
            Request(control->window(), control, HELP_KEY, reinterpret_cast<qintptr>(&keyword));
            return;
        }
        if (const int context = HelpContext(control)) {
            ContextRequest(control->window(), control, context);
            return;
        }
    }
}

void RegisterHelpBridge()
{
    if (Bridge())
        return;
    Bridge() = new THelpBridge(qApp);
    qApp->installEventFilter(Bridge());
}

void UnregisterHelpBridge() { delete Bridge(); }

void ApplicationHelpContext(int context)
{
    QWidget* focus = QApplication::focusWidget();
    ContextRequest(QApplication::activeWindow(), focus, context);
}
