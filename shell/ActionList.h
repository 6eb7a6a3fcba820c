#pragma once

#include <QList>
#include <QObject>

class QAction;

// A window's command list: it owns the window's commands, in the order they were
// created.
class TActionList : public QObject {
    Q_OBJECT

public:
    explicit TActionList(QObject* owner);

    // The commands in list order.
    QList<QAction*> Actions() const;
};
