#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "XMLArena.h"
#include "XMLItem.h"

class TECXMLParser;
struct TXMLTextMemory;

using TNotifyEvent = std::function<void(TECXMLParser* Sender)>;
using TXMLItemChanged = std::function<void(TECXMLParser* Sender, TXMLItem* XMLItem)>;
// Setting Allow to false refuses the operation; its On... event is then not raised.
using TXMLLoadSaveEvent = std::function<void(TECXMLParser* Sender, bool& Allow)>;

// What the document and its ghost both offer.
class IECXMLDocument {
public:
    virtual ~IECXMLDocument() = default;
    virtual TXMLItem* Root() = 0;
    virtual void Clear() = 0;
    virtual void LoadFromFile(const std::filesystem::path& fileName) = 0;
    virtual void SaveToFile(const std::filesystem::path& fileName) = 0;
    virtual void LoadFromStream(std::istream& stream) = 0;
    virtual void SaveToStream(std::ostream& stream, bool styleSheetFile) = 0;
};

// The document: owns the root item, reads and writes XML text and reports through its
// events. The root item stands for the document element.
class TECXMLParser : public IECXMLDocument {
public:
    TECXMLParser();
    ~TECXMLParser() override;
    TECXMLParser(const TECXMLParser&) = delete;
    TECXMLParser& operator=(const TECXMLParser&) = delete;

    // Never null while the document exists.
    TXMLItem* Root() override { return FRoot.get(); }

    // BeforeClear, then empties the root item (no XMLItemChanged), then OnCleared.
    // StyleSheet and CrLfInAsString are kept.
    void Clear() override;
    // Reads a file; where a line is too long for the chunked tokenizer, the whole-stream
    // tokenizer reads on (raising BeforeLoad a second time), giving the tree a second load
    // with it would give. Fails with "Cannot open file "%s". %s" when it cannot
    // open the file, leaving the tree untouched.
    void LoadFromFile(const std::filesystem::path& fileName) override;
    // Reads a whole text as LoadFromFile reads a file's.
    void LoadFromText(std::string_view text);
    // Reads a whole text as LoadFromText does, but into a tree of its own: only a text
    // that loads and closes its document element replaces the tree, with StyleSheet and
    // the last load's state, and raises OnLoaded. Any other, and any failure while reading
    // it, leaves all as it was and gives false, as does a refusal by BeforeLoad, which
    // comes first as for any load. The text is read in place, not copied.
    bool LoadWholeText(std::string text);
    // Reads the stream from its position with the 4096-byte tokenizer, without fallback.
    void LoadFromStream(std::istream& stream) override;
    // Writes the document to a temporary file beside the target and renames it over the
    // target, so a failure leaves the old file as it was. No style sheet line for ".xsl".
    void SaveToFile(const std::filesystem::path& fileName) override;
    // Writes the document at the stream's position; "Stream write error" when that fails.
    void SaveToStream(std::ostream& stream, bool styleSheetFile) override;

    // Whether the last load of the document closed its document element: false while
    // none ended, after one that failed, and after a text that ends inside open elements
    // (which loads, as missing end tags are allowed) or holds no element.
    bool LoadedComplete() const { return FLoadedComplete; }
    // "UTF-8" or "UTF-16" when the last load converted the text from that encoding into
    // the code page; "" when it was read as code page text.
    const std::string& LoadedEncoding() const { return FLoadedEncoding; }

    const std::string& StyleSheet() const { return FStyleSheet; }
    void SetStyleSheet(std::string fileName) { FStyleSheet = std::move(fileName); }
    // The root item's flag: line ends and indentation in the written text.
    bool CrLfInAsString() const { return FRoot->CrLfInAsString(); }
    void SetCrLfInAsString(bool value) { FRoot->SetCrLfInAsString(value); }

    // While one lives, the memory a load read its text into is kept for the document's
    // next load, whose text then lands in pages already mapped: a file read twice in a
    // row spares the system clearing fresh pages for the second reading. The memory goes
    // when the last one does.
    class TKeepReadMemory {
    public:
        explicit TKeepReadMemory(TECXMLParser& document);
        ~TKeepReadMemory();
        TKeepReadMemory(const TKeepReadMemory&) = delete;
        TKeepReadMemory& operator=(const TKeepReadMemory&) = delete;

    private:
        TECXMLParser& FDocument;
    };

    TXMLItemChanged XMLItemChanged;
    TNotifyEvent OnLoaded;
    TNotifyEvent OnCleared;
    TNotifyEvent OnSaved;
    TXMLLoadSaveEvent BeforeLoad;
    TXMLLoadSaveEvent BeforeSave;
    TXMLLoadSaveEvent BeforeClear;

private:
    friend class TXMLItem;
    friend class TXMLLoader;

    bool Allowed(const TXMLLoadSaveEvent& before);
    void Raise(const TNotifyEvent& after);
    void WriteDocument(std::ostream& stream, bool styleSheetFile);
    // Reads the stream from its start; where the chunked tokenizer meets a line too long
    // for it, the whole-stream tokenizer takes over, after a second BeforeLoad. Any other
    // parser error makes it read the stream once more with the whole-stream tokenizer.
    void LoadWithFallback(std::istream& stream);

    // The tree's memory, declared first so that it outlives the tree; held by address, so
    // that a tree read aside takes its memory along.
    std::unique_ptr<TXMLArena> FMemory;
    std::unique_ptr<TXMLItem> FRoot;
    std::string FStyleSheet;
    bool FLoadedComplete = false;
    std::string FLoadedEncoding;
    // Counts the items' reported changes, also while nobody is notified, so that a load
    // can tell whether an event handler changed the tree it is building.
    uint64_t FEdits = 0;
    std::unique_ptr<TXMLTextMemory> FReadMemory;
    int FReadMemoryKeepers = 0;
};

// The element name of a tag's text: after the "<", up to the first blank, else up to
// the first "/", else without the closing ">".
std::string_view TagName(std::string_view tagText);
// Fills `params` with the tag's attributes: unquoted blanks, tabs and line breaks end
// entries (not around an "="), values lose their enclosing double or single quotes (when
// longer than two characters), their quoted line breaks become blanks, and they are
// decoded.
void ParseParams(std::string_view tagText, TXMLParams& params);
// Replaces "&lt;", "&gt;", "&quot;", "&amp;", "&apos;" and the character references
// "&#N;" and "&#xH;" of characters the code page holds; anything else stays.
std::string DecodeText(std::string_view text);
// Escapes "&", "<", ">" and double quotes, and writes each CR LF as "<br/>".
std::string EncodeText(std::string_view text);
// A parameter value as it stands inside its quotes: EncodeText, except that line breaks
// are written as "&#13;" and "&#10;" so that they survive reading.
std::string EncodeParamValue(std::string_view text);
// The same as DecodeText; "&#13;" and "&#10;" give a value's line breaks back.
std::string DecodeParamValue(std::string_view text);
