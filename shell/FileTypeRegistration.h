#pragma once

#include <QString>

// File types in the registry's classes root: an extension's key names a type, whose key
// holds the description, the icon ("DefaultIcon") and the open command
// ("Shell\Open\Command"). Beside the registry the association is given to the desktop:
// the shell is notified on Windows, the user's freedesktop data follow elsewhere.

// True when the extension's key names a type whose text before its first "." is `title`
// without its spaces (case-sensitive). An extension without key, a value without "." and
// any error give false. The extension is taken in lower case, "." put in front if missing.
bool IsAssociated(const QString& extension, const QString& title);

// Associates the extension with `typeName` (spaces removed, then followed by the
// extension when `description` is set or the extension is an icon type, else by "." and
// the icon index), opened by `executable` (the running program when empty). An empty
// `typeName` removes the association: the extension's key is emptied, the type's keys
// stay. A negative icon index writes no icon. Throws ERegistryException ("Failed to set
// data for ''. …") when a key, or the desktop's part where there is no shell to notify,
// cannot be written; the keys are then put back as they were (on Windows, keys written
// before stay written).
void RegisterFileType(QString extension, QString typeName, const QString& description, QString executable, int iconIndex);
