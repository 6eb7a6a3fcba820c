#pragma once

#include <QString>

#include <string>
#include <string_view>

// Document text is Windows-1252 bytes; the views show it as Unicode.
QString FromDocumentText(std::string_view text);
// False when a character has no byte in the code page; the caller refuses the text.
bool ToDocumentText(const QString& text, std::string& out);
// The document text of what the user typed; a character the code page cannot hold is
// refused with an error naming it, never replaced.
std::string DocumentTextOf(const QString& text);
