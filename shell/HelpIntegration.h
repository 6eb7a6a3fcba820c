#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

// Help commands as a window's help event receives them. Windows defines them itself, with
// the same numbers.
#ifdef _WIN32
#include <windows.h>
#else
constexpr int HELP_CONTEXT = 1;
constexpr int HELP_QUIT = 2;
constexpr int HELP_CONTENTS = 3;
constexpr int HELP_SETPOPUP_POS = 13;
constexpr int HELP_KEY = 257;
#endif

// The window that owns the help and the full path of the help file ("…/Selvane.chm");
// set once, by the main window's creation.
void SetHelpTarget(QWidget* owner, const QString& helpFile);
// The owner SetHelpTarget named; none before it ran or once that window is gone.
QWidget* HelpOwner();

// Runs a help command; `CallHelp` is cleared and the result is false in every case.
// HELP_CONTEXT shows the page named after the command the help context `Data` was given
// to (nothing for 0 or a number that names no command); HELP_KEY shows the contents;
// HELP_QUIT and HELP_SETPOPUP_POS do nothing; any other command asks for the help context
// `Data` through ShowContextHelp.
bool HelpHandler(int Command, qintptr Data, bool& CallHelp);

// The help file's page `topic` + ".html".
void ShowTopic(const QString& topic);
// The help file's table of contents.
void ShowContents();
// The help file's index, then the page of help context `context`.
void ShowContextHelp(qintptr context);
