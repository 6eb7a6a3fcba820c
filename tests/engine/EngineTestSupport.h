#pragma once

#include <algorithm>
#include <thread>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ECXMLParser.h"
#include "Portable.h"
#include "SafeFile.h"
#include "XMLItem.h"

namespace enginetest {

using Events = std::vector<std::string>;

// The head line every saved document starts with.
inline constexpr std::string_view Head = "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n";

// The message of the error of kind E that `operation` raises, or "no error".
template <class E>
std::string ErrorOf(auto operation)
{
    try {
        operation();
    } catch (const E& error) {
        return error.what();
    }
    return "no error";
}

// `length` random lower-case letters.
inline std::string RandomWord(std::mt19937& random, size_t length)
{
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += static_cast<char>('a' + random() % 26);
    return text;
}

// Whether two long texts, trees' dumps or token lists, are the same; else the first line
// where they differ, rather than the diff of the whole that a comparison would print.
inline testing::AssertionResult SameLines(std::string_view got, std::string_view expected)
{
    if (got == expected)
        return testing::AssertionSuccess();
    size_t line = 1;
    size_t from = 0;
    for (size_t i = 0; i < std::min(got.size(), expected.size()) && got[i] == expected[i]; ++i)
        if (got[i] == '\n') {
            ++line;
            from = i + 1;
        }
    auto lineOf = [from](std::string_view text) { return std::string(text.substr(from, std::min<size_t>(text.find('\n', from), from + 200) - from)); };
    return testing::AssertionFailure() << "line " << line << " is \"" << lineOf(got) << "\" instead of \"" << lineOf(expected) << "\"";
}

// A text read through a stream that says it holds `told` bytes, and, with `failAt`, fails
// when a byte at or past that place is asked for. With `slowly`, it hands its bytes out
// 32 KiB at a time, a fifth of a millisecond apart, as a slow disk does.
class TToldText : public std::streambuf {
public:
    TToldText(std::string text, size_t told, size_t failAt = std::string::npos, bool slowly = false)
        : FText(std::move(text)), FTold(told), FFailAt(std::min(failAt, FText.size())), FSlowly(slowly)
    {
        seekpos(0, std::ios_base::in);
    }

protected:
    int_type underflow() override
    {
        if (egptr() == FText.data() + FFailAt) {
            if (FFailAt < FText.size())
                throw std::runtime_error("the disk failed");
            return traits_type::eof();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        setg(eback(), egptr(), PieceEnd(egptr()));
        return traits_type::to_int_type(*gptr());
    }
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode mode) override
    {
        const off_type from = dir == std::ios_base::beg ? 0 : dir == std::ios_base::end ? static_cast<off_type>(FTold) : Position();
        return seekpos(pos_type(from + offset), mode);
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode) override
    {
        // A place past the bytes at hand is kept, and reads as the end.
        FPast = static_cast<off_type>(position);
        char* const place = FText.data() + std::min(static_cast<size_t>(FPast), FFailAt);
        setg(FText.data(), place, PieceEnd(place));
        if (place - FText.data() == FPast)
            FPast = -1;
        return position;
    }

private:
    off_type Position() const { return FPast >= 0 ? FPast : gptr() - eback(); }
    char* PieceEnd(char* from) { return FSlowly ? std::min(from + 32 * 1024, FText.data() + FFailAt) : FText.data() + FFailAt; }

    std::string FText;
    size_t FTold;
    size_t FFailAt;
    bool FSlowly;
    off_type FPast = -1;
};

inline void LoadText(TECXMLParser& document, std::string_view text)
{
    std::istringstream stream{std::string(text)};
    document.LoadFromStream(stream);
}

inline std::string SaveText(TECXMLParser& document, bool styleSheetFile = false)
{
    std::ostringstream stream;
    document.SaveToStream(stream, styleSheetFile);
    return stream.str();
}

// One line per item, indented by depth: name, [parameter entries] and " = value", with
// control bytes shown as \0d, \0a and so on, so that a failure reads as a tree.
inline std::string Dump(const TXMLItem& top)
{
    auto shown = [](std::string_view text) {
        static constexpr char Hex[] = "0123456789abcdef";
        std::string out;
        for (unsigned char c : text) {
            if (c >= 32)
                out += static_cast<char>(c);
            else
                out.append({'\\', Hex[c >> 4], Hex[c & 15]});
        }
        return out;
    };
    std::string out;
    std::vector<std::pair<const TXMLItem*, size_t>> pending{{&top, 0}};
    while (!pending.empty()) {
        const auto [item, depth] = pending.back();
        pending.pop_back();
        out.append(depth * 2, ' ').append(shown(item->Name()));
        for (int i = 0; i < item->Params().Count(); ++i)
            out.append(" [").append(shown(item->Params().Strings(i))).append("]");
        if (!item->Value().empty())
            out.append(" = ").append(shown(item->Value()));
        out += '\n';
        for (int i = item->Count() - 1; i >= 0; --i)
            pending.emplace_back(item->Items(i), depth + 1);
    }
    return out;
}

// Takes every event of a document and records it, in order, as text; the Before events
// answer with the allow... flags.
struct EventLog {
    Events events;
    TECXMLParser* sender = nullptr;
    bool allowLoad = true;
    bool allowSave = true;
    bool allowClear = true;

    explicit EventLog(TECXMLParser& document)
    {
        auto before = [this](const char* what, bool& flag) {
            return [this, what, &flag](TECXMLParser* s, bool& allow) {
                Note(s, what);
                allow = flag;
            };
        };
        auto after = [this](const char* what) { return [this, what](TECXMLParser* s) { Note(s, what); }; };
        document.XMLItemChanged = [this](TECXMLParser* s, TXMLItem* item) { Note(s, "Changed " + item->Name()); };
        document.BeforeLoad = before("BeforeLoad", allowLoad);
        document.BeforeSave = before("BeforeSave", allowSave);
        document.BeforeClear = before("BeforeClear", allowClear);
        document.OnLoaded = after("OnLoaded");
        document.OnSaved = after("OnSaved");
        document.OnCleared = after("OnCleared");
    }
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    void Note(TECXMLParser* s, std::string what)
    {
        sender = s;
        events.push_back(std::move(what));
    }
};

// A fresh folder, removed with its contents at the end of the test.
class TempFolder {
public:
    TempFolder()
    {
        FPath = MakeTempFolder("selvane-engine");
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path operator/(std::string_view name) const { return FPath / name; }
    const std::filesystem::path& Path() const { return FPath; }

    // The sorted names of a folder's entries.
    static std::vector<std::string> Entries(const std::filesystem::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(PathText(entry.path().filename()));
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path FPath;
};

inline std::string ReadBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& file, std::string_view bytes)
{
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace enginetest
