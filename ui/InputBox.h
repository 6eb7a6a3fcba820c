#pragma once

#include <QString>

class QWidget;

// The platform's input box: a caption, a prompt and an edit holding `initial`, with OK
// and Cancel. Returns the edited text after OK and `initial` otherwise.
QString InputBox(QWidget* parent, const QString& caption, const QString& prompt, const QString& initial);
