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
// The document text of a name the user gave an item (`item`) or a parameter, refused
// with an error naming the character when the writer could not write it so that it reads
// back as the same name: an empty name, or one holding white space, "<", ">", "/", "=",
// a quote, or, for an item, beginning with "!" or "?", which would read as a declaration.
std::string NameTextOf(const QString& name, bool item);
