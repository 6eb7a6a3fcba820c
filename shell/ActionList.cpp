#include "ActionList.h"

#include <QAction>

TActionList::TActionList(QObject* owner) : QObject(owner) {}

QList<QAction*> TActionList::Actions() const { return findChildren<QAction*>(Qt::FindDirectChildrenOnly); }
