#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "XMLNameIndex.h"

class TXMLItem;

// The one output sink of the writer: collects text and, with a stream, passes it on in
// large blocks. Without a stream the text stays in Text().
class TXMLWriter {
public:
    explicit TXMLWriter(std::ostream* stream = nullptr) : FStream(stream) {}

    void Put(std::string_view text);
    void PutBlanks(size_t count);
    // Text escaped as EncodeText does, or as EncodeParamValue with `paramValue`.
    void PutEncoded(std::string_view text, bool paramValue = false);
    void PutTagText(const TXMLItem& item);
    // An item and its subtree, as AsString gives them, without recursion. The document
    // element is never written in the short form, which would read back as the child of
    // an unnamed root.
    void PutItem(TXMLItem& item, size_t indent, bool documentElement = false);
    // Hands the collected text to the stream; "Stream write error" when that fails.
    void Flush();

    std::string& Text() { return FText; }

private:
    void FlushWhenLarge();

    std::ostream* FStream;
    std::string FText;
    // PutTagText's storage, kept from one item to the next.
    TXMLNameIndex FNameIndex;
};
