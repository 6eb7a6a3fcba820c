#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

// The commands of the help viewer.
constexpr int HH_DISPLAY_TOPIC = 0;
constexpr int HH_DISPLAY_TOC = 1;
constexpr int HH_DISPLAY_INDEX = 2;
constexpr int HH_HELP_CONTEXT = 15;

// Runs a help command in the program's one help viewer and returns the viewer. `file`
// names a help file ("…/Selvane.chm"); for HH_DISPLAY_TOPIC it is followed by "::/" and
// the page ("…/Selvane.chm::/aFilter.html"). The file is served from the compiled help
// collection of the same folder and base name (HelpCollectionOf). HH_DISPLAY_TOC shows the
// contents, HH_DISPLAY_INDEX the index, HH_HELP_CONTEXT the page whose identifier is the
// number `data`. A missing collection or page is named in the viewer itself. The viewer
// belongs to no window of the program: `owner` only places it at its first showing.
QWidget* HtmlHelpA(QWidget* owner, const QString& file, int command, qintptr data);

// The help collection that serves a help file: the same folder and base name, ".qhc".
QString HelpCollectionOf(const QString& helpFile);

// Closes and destroys the help viewer; at program end.
void CloseHelp();
