#pragma once

#include <string>
#include <string_view>

class IECXMLDocument;
class TXMLItem;

// Dotted paths: the item names from the root down, joined by "."; a value path adds "."
// and a parameter name, and may end in a suffix starting with "/;/". Names are taken as
// they stand, so a name holding "." makes a path ambiguous.

// `first`, then "." and `second` when `second` is not empty (an empty first gives ".x").
std::string JoinItemPath(std::string_view first, std::string_view second);
// The text before the last "."; a path without "." whole.
std::string ItemPathOf(std::string_view path);
// The text after the last "." of the path cut at its first "/;/"; without "." all of it.
std::string ParamNameOf(std::string_view path);
// The full path of an item: its ancestors' names and its own, joined by ".".
std::string ItemFullPath(const TXMLItem* item);
// The first item in document order (an item before its children) whose full path equals
// `itemPath`, letter case included; null when none or without a document. Only the items
// on the way to a match are visited, so deep trees cost their depth, not more.
TXMLItem* FindItemByPath(IECXMLDocument* document, std::string_view itemPath);
