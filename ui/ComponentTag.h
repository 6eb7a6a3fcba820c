#pragma once

#include <QObject>
#include <QVariant>

// A component's tag: an integer any widget or command can carry for its window's own
// use; 0 until set.
inline int Tag(const QObject* component) { return component->property("Tag").toInt(); }
inline void SetTag(QObject* component, int tag) { component->setProperty("Tag", tag); }
