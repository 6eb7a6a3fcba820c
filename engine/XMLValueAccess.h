#pragma once

#include <string>
#include <string_view>

class IECXMLDocument;

// Value access for a host program: open a file, read parameters by dotted value path,
// close. One document is held for the whole process; the functions are meant for one
// thread, called in that order. Text is wide here and Windows-1252 in the document.

// Reads "READEVER" and "USELFSTRING" from "Software\Trelvix\XML", then loads the file
// (creating the document on first use). False when it cannot be loaded; no error leaves.
bool OpenXMLFile(const std::u16string& fileName);
// Finds the item of the value path (reloading the file first when "READEVER" was set)
// and gives the value of its parameter, empty when the item lacks it. False, with
// `value` untouched, when there is no such item or no open document.
bool ReadXMLValue(const std::u16string& valuePath, std::u16string& value);
// Destroys the document without writing it; false when none was open.
bool CloseXMLFile(const std::u16string& fileName);

// The lookup behind ReadXMLValue on any document, in document text: false when the value
// path's item does not exist; otherwise `value` is its parameter's value or empty.
bool ReadItemValue(IECXMLDocument* document, std::string_view valuePath, std::string& value);
