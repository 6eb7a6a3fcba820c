#pragma once

#include <QIcon>
#include <QString>
#include <QStyle>

// An icon of the desktop's icon theme by its exact name, else the style's `fallback`,
// which is made only then: a style's own icons are looked up in the theme too. Either is
// read only when it is first drawn or measured.
//
// The theme's folders (the theme's own, those of the themes it inherits, and hicolor) are
// listed once per process. A name is then looked up in those lists, where the platform's
// lookup would probe each of a theme's hundreds of folders for every name and for every
// shorter name it falls back to, tens of thousands of failed calls at each start.
QIcon ThemeIcon(const QString& name, const QStyle* style, QStyle::StandardPixmap fallback);
