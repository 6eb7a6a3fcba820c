#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// Documents for the benchmarks, most in the engine's own format (CR LF line ends,
// attributes in double quotes, only the entities the writer puts); the same arguments
// always give the same bytes.

struct TMixedOptions {
    // Blocks are written until the file reaches this size...
    std::uint64_t TargetBytes = 0;
    // ...unless a block count is given: the same count and seed give the same tree.
    std::uint64_t Blocks = 0;
    std::uint64_t Seed = 1;
    // Without line breaks everything after the declaration line is one line.
    bool LineBreaks = true;
    // When not 0, an element whose text is one line of about this many bytes comes
    // just before the last end tag.
    std::size_t LongLineAtEnd = 0;
};

// Blocks of elements nested 3 to 6 levels deep counting the document element, one to
// four attributes each, text values with entities, now and then a comment. Returns the
// number of blocks written.
std::uint64_t WriteMixedDocument(const std::filesystem::path& file, const TMixedOptions& options);

// `items` empty elements under the document element "flat", named row0, row1, ... so
// that every item has a path of its own; the last one is flat.row<items-1>.
void WriteFlatDocument(const std::filesystem::path& file, int items);

// `entries` elements with 20 to 40 attributes each (distinct names), 100 to a group.
void WriteAttributeDocument(const std::filesystem::path& file, int entries, std::uint64_t seed);

// `entries` elements as other programs write them: a document type with an internal
// subset, comments holding "<" and ">", start tags over several lines with tabs, single
// quotes and blanks around "=", character references and CDATA sections; LF line ends.
void WriteMarkupDocument(const std::filesystem::path& file, int entries, std::uint64_t seed);

// `levels` elements named d, each inside the one before, one tag per line and no
// indentation; the deepest has a text value. Its path is "d" repeated, joined by ".".
void WriteDeepDocument(const std::filesystem::path& file, int levels);

// `groups` elements `group` under the document element `root`, each holding `items`
// elements `item` with an `id`: many parents and names repeated among siblings.
void WriteGroupsDocument(const std::filesystem::path& file, int groups, int items);

// The dotted path of the deepest item of WriteDeepDocument(levels).
std::string DeepDocumentPath(int levels);

// Length in bytes of the longest line of a file, line ends not counted.
std::size_t LongestLine(const std::filesystem::path& file);
