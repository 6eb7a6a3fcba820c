#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class QObject;
class QWidget;

// A translation table: lines of the form key=value. The key ends at the first "="; a
// line without one never matches. Lookups ignore letter case; the first match wins.
using TTranslationTable = QStringList;

// Reads the tables from the folder "Protected/" beside the executable, each from its
// base name followed by "_e" (forms.txt_e, captions.txt_e, hints.txt_e, translate.txt_e,
// shortcuts.txt_e). A missing or unreadable file leaves its table empty, silently. Runs
// once before the first window; a second call starts the tables afresh.
void LoadTranslations();

// The tables LoadTranslations read; none before it ran.
TTranslationTable* FormsTable();
TTranslationTable* CaptionsTable();
TTranslationTable* HintsTable();

// The text to show for `text`: the value of the table's line for `key` (for `text`
// itself when `UseTextAsKey`). An empty key or text, no table, or a key or text that
// IsNumber accepts leaves `text`. A key the table lacks is added in memory as key=text,
// so later lookups find it; no table is ever written back to its file.
QString Translate(const QString& key, const QString& text, TTranslationTable* table, bool UseTextAsKey);

// True for a text that is not empty and made only of "0123456789.,".
bool IsNumber(const QString& text);

// Translates a window from its designed texts: its caption, then each component it owns
// whose Tag is not 1, by kind — combo box items and hint, each command of a command list
// (caption, hint, and a help keyword and context of its own), the captions and hints of
// labels, push buttons, group boxes and check boxes. Option buttons, text edits and all
// other kinds keep their texts. A component's hint is its status tip; a translated hint
// becomes its tool tip as well.
void TranslateForm(QWidget* window);

// The command that TranslateForm gave the help context `context`; none for a number it
// never gave or whose command is gone.
QObject* ComponentOfHelpContext(qintptr context);
