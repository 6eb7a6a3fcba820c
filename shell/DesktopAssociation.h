#pragma once

#include <QString>

// The file associations of the user's freedesktop desktop, following the Desktop Entry,
// Shared MIME-info and MIME Applications Associations specifications: the desktop entry
// "selvane.desktop" in $XDG_DATA_HOME/applications (default ~/.local/share/applications),
// the defaults in $XDG_CONFIG_HOME/mimeapps.list (default ~/.config/mimeapps.list) and,
// for extensions the MIME database does not know, a MIME type of the program's own in
// $XDG_DATA_HOME/mime/packages.

// The desktop entry's file name, as mimeapps.list names it.
inline constexpr char DesktopEntryName[] = "selvane.desktop";

// The MIME type files with `extension` (".xml") have: the one the MIME database gives,
// else "application/x-selvane-" and the extension.
QString MimeTypeOfExtension(const QString& extension);

// Makes `executable` the user's default program for the extension's MIME type, or with
// `associate` false takes away the program's own default and MIME type again. Other
// programs' associations and every other line of mimeapps.list stay byte for byte. The
// desktop's caches are refreshed with update-desktop-database and update-mime-database
// where they are installed. When a file cannot be written, throws ERegistryException
// ("Failed to set data for ''. Cannot write …") and leaves every file as it was.
void MirrorDesktopAssociation(const QString& extension, bool associate, const QString& executable);
