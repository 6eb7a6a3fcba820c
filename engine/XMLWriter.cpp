#include "XMLWriter.h"

#include <ostream>
#include <vector>

#include "ECXMLParser.h"
#include "Exceptions.h"

namespace {

constexpr size_t FlushSize = 1 << 16;

bool HasText(std::string_view value)
{
    for (char c : value)
        if (static_cast<unsigned char>(c) > 32)
            return true;
    return false;
}

} // namespace

void TXMLWriter::Put(std::string_view text) { FText.append(text); }

void TXMLWriter::PutBlanks(size_t count) { FText.append(count, ' '); }

void TXMLWriter::PutEncoded(std::string_view text, bool paramValue)
{
    size_t plain = 0;
    auto replace = [&](size_t i, size_t skip, std::string_view with) {
        FText.append(text.substr(plain, i - plain));
        FText.append(with);
        plain = i + skip;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        switch (text[i]) {
        case '&': replace(i, 1, "&amp;"); break;
        case '<': replace(i, 1, "&lt;"); break;
        case '>': replace(i, 1, "&gt;"); break;
        case '"': replace(i, 1, "&quot;"); break;
        case '\r':
            if (paramValue) {
                replace(i, 1, "&#13;");
            } else if (i + 1 < text.size() && text[i + 1] == '\n') {
                replace(i, 2, "<br/>");
                ++i;
            }
            break;
        case '\n':
            if (paramValue)
                replace(i, 1, "&#10;");
            break;
        default: break;
        }
    }
    FText.append(text.substr(plain));
}

void TXMLWriter::PutTagText(const TXMLItem& item)
{
    FText.append(item.Name());
    const TXMLParams& params = item.Params();
    // Every entry is written with the value a lookup of its name gives.
    FNameIndex.ForEachNamedValue(params, [&](std::string_view name, int valueEntry) {
        FText.append(1, ' ').append(name).append("=\"");
        if (valueEntry >= 0)
            PutEncoded(params.ValueFromIndex(valueEntry), true);
        FText.append(1, '"');
    });
}

void TXMLWriter::PutItem(TXMLItem& top, size_t indent, bool documentElement)
{
    const bool lineEnds = top.CrLfInAsString();
    const size_t step = lineEnds ? 2 : 0;
    const std::string_view lineEnd = lineEnds ? "\r\n" : "";

    struct Open {
        TXMLItem* item;
        int next;
        size_t indent;
    };
    std::vector<Open> open;

    // Writes the start of an item; true when its children and end tag are still due.
    auto start = [&](TXMLItem& item, size_t n) {
        const bool hasValue = HasText(item.Value());
        PutBlanks(n);
        FText.append(1, '<');
        const size_t tagStart = FText.size();
        PutTagText(item);
        if (!hasValue && item.Count() == 0) {
            // "<br/>" would read back as a line break and "</>" as an end tag.
            const std::string_view tag = std::string_view(FText).substr(tagStart);
            if (tag.empty() || tag == "br" || (documentElement && &item == &top))
                FText.append("></").append(item.Name()).append(1, '>').append(lineEnd);
            else
                FText.append("/>").append(lineEnd);
            return false;
        }
        FText.append(1, '>').append(lineEnd);
        if (hasValue) {
            PutBlanks(n + step);
            PutEncoded(item.Value());
            FText.append(lineEnd);
        }
        return true;
    };

    if (start(top, indent))
        open.push_back({&top, 0, indent});
    while (!open.empty()) {
        Open& frame = open.back();
        if (frame.next < frame.item->Count()) {
            TXMLItem* child = frame.item->Items(frame.next++);
            child->SetCrLfInAsString(frame.item->CrLfInAsString());
            const size_t n = frame.indent + step;
            if (start(*child, n))
                open.push_back({child, 0, n});
        } else {
            PutBlanks(frame.indent);
            FText.append("</").append(frame.item->Name()).append(1, '>').append(lineEnd);
            open.pop_back();
        }
        FlushWhenLarge();
    }
}

void TXMLWriter::FlushWhenLarge()
{
    if (FStream && FText.size() >= FlushSize)
        Flush();
}

void TXMLWriter::Flush()
{
    if (!FStream)
        return;
    FStream->write(FText.data(), static_cast<std::streamsize>(FText.size()));
    FText.clear();
    if (!*FStream)
        throw EWriteError();
}

std::string TXMLItem::AsString(int indent)
{
    TXMLWriter writer;
    writer.PutItem(*this, static_cast<size_t>(indent < 0 ? 0 : indent));
    return std::move(writer.Text());
}

std::string TXMLItem::TagText() const
{
    TXMLWriter writer;
    writer.PutTagText(*this);
    return std::move(writer.Text());
}

std::string EncodeText(std::string_view text)
{
    TXMLWriter writer;
    writer.PutEncoded(text);
    return std::move(writer.Text());
}

std::string EncodeParamValue(std::string_view text)
{
    TXMLWriter writer;
    writer.PutEncoded(text, true);
    return std::move(writer.Text());
}
