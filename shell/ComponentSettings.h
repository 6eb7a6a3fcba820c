#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

// Settings every widget and command can carry besides Qt's own, kept as properties of
// the object so that no class has to declare them.

// A free number for the program's own use; 0 unless set. Tag 1 keeps a component out
// of the translation.
inline int Tag(const QObject* component) { return component->property("Tag").toInt(); }
inline void SetTag(QObject* component, int tag) { component->setProperty("Tag", tag); }

// The keyword that F1 passes to the help; empty for none.
inline QString HelpKeyword(const QObject* component) { return component->property("HelpKeyword").toString(); }
inline void SetHelpKeyword(QObject* component, const QString& keyword) { component->setProperty("HelpKeyword", keyword); }

// The number that F1 passes to the help; 0 for none.
inline int HelpContext(const QObject* component) { return component->property("HelpContext").toInt(); }
inline void SetHelpContext(QObject* component, int context) { component->setProperty("HelpContext", context); }
