// selvane-value: reads values of an XML file by dotted path, lists everything a user can
// pick, or writes a file back in the program's format.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "CodePage.h"
#include "ECXMLParser.h"
#include "SafeFile.h"
#include "XMLNameIndex.h"
#include "XMLValueAccess.h"

#ifdef _WIN32
#include <cwchar>

#include <fcntl.h>
#include <io.h>

#include "Utf16.h"
#endif

namespace {

constexpr const char* Usage =
    "Usage: selvane-value FILE VALUEPATH...\n"
    "       selvane-value --list FILE\n"
    "       selvane-value --rewrite FILE OUT [--indent]\n"
    "       selvane-value --help | --version\n"
    "\n"
    "FILE VALUEPATH...  print the value of each VALUEPATH (item path \".\" parameter, as\n"
    "                   config.db.host) on its own line; an item without that parameter\n"
    "                   gives an empty line. Exit 1 when an item does not exist (its line\n"
    "                   is empty and a message goes to standard error).\n"
    "--list FILE        print every item path and, under it, every value path as\n"
    "                   path.name=value, in document order.\n"
    "--rewrite FILE OUT load FILE and write it to OUT; --indent writes line ends and\n"
    "                   indentation, otherwise the elements follow each other on one line.\n"
    "\n"
    "Output is UTF-8. So that one value stays one line, a backslash is printed as \\\\, a\n"
    "carriage return as \\r and a line feed as \\n.\n"
    "Exit status: 0 done, 1 an item was not found, 2 bad usage or the file cannot be\n"
    "loaded or written.\n";

int UsageError()
{
    std::fputs(Usage, stderr);
    return 2;
}

// Document text as one UTF-8 line.
std::string Printable(std::string_view text) { return Cp1252ToUtf8(OneLineText(text)); }

bool Load(TECXMLParser& document, const char* fileName)
{
    try {
        document.LoadFromFile(PathOfText(fileName));
        return true;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "selvane-value: cannot load %s: %s\n", fileName, error.what());
        return false;
    }
}

int PrintValues(const char* fileName, const std::vector<const char*>& paths)
{
    TECXMLParser document;
    if (!Load(document, fileName))
        return 2;
    int status = 0;
    std::string out;
    for (const char* argument : paths) {
        std::string path;
        std::string value;
        // A path the code page cannot hold names no item.
        if (Utf8ToCp1252(argument, path) && ReadItemValue(&document, path, value)) {
            out += Printable(value);
        } else {
            std::fprintf(stderr, "selvane-value: %s: no item %s\n", fileName, argument);
            status = 1;
        }
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return status;
}

int List(const char* fileName)
{
    TECXMLParser document;
    if (!Load(document, fileName))
        return 2;
    struct Frame {
        TXMLItem* item;
        int next;
        size_t pathLength;
        // How many children of each name were entered, for their places.
        std::unordered_map<std::string_view, int> seen;
    };
    std::string path;
    std::string out;
    std::vector<Frame> open;
    TXMLNameIndex names;
    auto enter = [&](TXMLItem* item) {
        const size_t length = path.size();
        if (!open.empty()) {
            path += '.';
            path += item->Name();
            if (const int place = ++open.back().seen[item->Name()]; place > 1)
                path += "[" + std::to_string(place) + "]";
        } else {
            path += item->Name();
        }
        const std::string printable = Printable(path);
        out.append(printable).append(1, '\n');
        // Each entry shows the value its path reads: that of the first entry of its name.
        const TXMLParams& params = item->Params();
        names.ForEachNamedValue(params, [&](std::string_view name, int valueEntry) {
            out.append(printable).append(1, '.').append(Printable(name)).append(1, '=');
            if (valueEntry >= 0)
                out.append(Printable(params.ValueFromIndex(valueEntry)));
            out.append(1, '\n');
        });
        open.push_back({item, 0, length, {}});
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    };
    enter(document.Root());
    while (!open.empty()) {
        Frame& frame = open.back();
        if (frame.next < frame.item->Count()) {
            enter(frame.item->Items(frame.next++));
        } else {
            path.resize(frame.pathLength);
            open.pop_back();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

int Rewrite(const char* fileName, const char* outName, bool indent)
{
    TECXMLParser document;
    if (!Load(document, fileName))
        return 2;
    document.SetCrLfInAsString(indent);
    try {
        document.SaveToFile(PathOfText(outName));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "selvane-value: cannot write %s: %s\n", outName, error.what());
        return 2;
    }
    return 0;
}

int Run(const std::vector<const char*>& args)
{
    if (args.empty())
        return UsageError();
    const std::string_view first = args[0];
    if (first == "--help" || first == "-h") {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (first == "--version") {
        std::puts("selvane-value " SELVANE_VERSION);
        return 0;
    }
    if (first == "--list")
        return args.size() == 2 ? List(args[1]) : UsageError();
    if (first == "--rewrite") {
        if (args.size() == 3)
            return Rewrite(args[1], args[2], false);
        if (args.size() == 4 && std::strcmp(args[3], "--indent") == 0)
            return Rewrite(args[1], args[2], true);
        return UsageError();
    }
    if (first.starts_with("--") || args.size() < 2)
        return UsageError();
    return PrintValues(args[0], std::vector<const char*>(args.begin() + 1, args.end()));
}

// Output that did not reach its file (a full disk, a closed pipe) is a failure too.
int Main(const std::vector<const char*>& args)
{
    const int status = Run(args);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "selvane-value: cannot write the output: %s\n", std::strerror(errno));
        return 2;
    }
    return status;
}

} // namespace

#ifdef _WIN32
// Windows hands the arguments over as UTF-16, which the program takes as UTF-8 as it does
// elsewhere; the output keeps its bytes and its LF line ends.
int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> texts;
    for (int i = 1; i < argc; ++i)
        texts.push_back(Utf16ToUtf8(std::u16string(argv[i], argv[i] + std::wcslen(argv[i]))));
    std::vector<const char*> args;
    for (const std::string& text : texts)
        args.push_back(text.c_str());
    return Main(args);
}
#else
int main(int argc, char** argv) { return Main(std::vector<const char*>(argv + 1, argv + argc)); }
#endif
