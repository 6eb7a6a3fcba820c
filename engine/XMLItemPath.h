#pragma once

#include <string>
#include <string_view>

class IECXMLDocument;
class TXMLItem;

// Dotted paths: the item names from the root down, joined by "."; a value path adds "."
// and a parameter name, and may end in a suffix starting with "/;/". Names are taken as
// they stand, so a name holding "." makes a path ambiguous. An item with an earlier
// sibling of its name is named with its place among those siblings, as XPath writes it:
// "hash[3]" is the third child named "hash".

// `first`, then "." and `second` when `second` is not empty (an empty first gives ".x").
std::string JoinItemPath(std::string_view first, std::string_view second);
// The text before the last "."; a path without "." whole.
std::string ItemPathOf(std::string_view path);
// The text after the last "." of the path cut at its first "/;/"; without "." all of it.
std::string ParamNameOf(std::string_view path);
// An item's part of a path: its name, followed by "[k]" when it is the k-th child of its
// parent with that name and k > 1.
std::string ItemSegment(const TXMLItem* item);
// The full path of an item: its ancestors' segments and its own, joined by ".".
std::string ItemFullPath(const TXMLItem* item);
// The first item in document order (an item before its children) whose path of names
// equals `itemPath`, letter case included; when none, the first whose path matches with
// segments "name[k]" read as the k-th child of that name (a literal child name "a[2]"
// matches before that); null when none or without a document. Only the items on the
// way to a match are visited, so deep trees cost their depth, not more.
TXMLItem* FindItemByPath(IECXMLDocument* document, std::string_view itemPath);
