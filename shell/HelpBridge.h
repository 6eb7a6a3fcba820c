#pragma once

#include <QEvent>
#include <QObject>
#include <QtGlobal>

class QWidget;

// A help command sent to a window: its help event. A window that serves help accepts
// it; the event starts out ignored. For HELP_KEY `Data` is the address of the keyword (a
// QString), for HELP_SETPOPUP_POS that of the screen position (a QPoint), both valid
// while the event is handled; for HELP_CONTEXT it is the help context.
class THelpCommandEvent : public QEvent {
public:
    THelpCommandEvent(int command, qintptr data);

    static QEvent::Type EventType();

    const int Command;
    const qintptr Data;
    bool CallHelp = true;
};

// Takes every help request of the program: F1 on a highlighted menu entry asks for the
// entry's help context; F1 elsewhere for the keyword or context of the focused control
// or its first parent within the window that has one, and for nothing when none has.
// Each request reaches the active window's help event, or the help owner's when the
// active window serves no help. Qt's own "What's This" help never sees a request.
class THelpBridge : public QObject {
    Q_OBJECT

public:
    explicit THelpBridge(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void F1Pressed();
};

// Installs the bridge for the whole application; at program start.
void RegisterHelpBridge();
// Removes it again; at program end.
void UnregisterHelpBridge();

// Asks for the help of context `context` in the active window, as F1 on a control with
// that context does.
void ApplicationHelpContext(int context);
