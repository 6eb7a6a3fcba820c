#include <memory>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "ECXMLParser.h"
#include "EngineTestSupport.h"
#include "XMLItemPath.h"

using namespace enginetest;

namespace {

// Nothing in the engine may recurse along the depth of a document: a million nested
// elements must load, write, be searched and be freed on an ordinary stack.
TEST(DeepDocument, MillionLevelsLoadWriteSearchAndFree)
{
    constexpr int Depth = 1000000;
    std::string text;
    text.reserve(Depth * 9 + 64);
    for (int i = 0; i < Depth; ++i)
        text += "<a>\n";
    text += "leaf\n";
    for (int i = 0; i < Depth; ++i)
        text += "</a>\n";

    auto document = std::make_unique<TECXMLParser>();
    LoadText(*document, text);

    const TXMLItem* item = document->Root();
    int depth = 1;
    for (; item->Count() == 1; ++depth)
        item = item->Items(0);
    EXPECT_EQ(depth, Depth);
    EXPECT_EQ(item->Value(), "leaf");

    std::string path = "a";
    for (int i = 1; i < Depth; ++i)
        path += ".a";
    EXPECT_EQ(FindItemByPath(document.get(), path), item);
    EXPECT_EQ(FindItemByPath(document.get(), path + ".a"), nullptr);

    document->SetCrLfInAsString(false);
    std::string expected(Head);
    expected.reserve(Depth * 14 + 64);
    for (int i = 0; i < Depth; ++i)
        expected += "  <a>";
    expected += "  leaf";
    for (int i = 0; i < Depth; ++i)
        expected += "  </a>";
    EXPECT_TRUE(SaveText(*document) == expected);

    document->Root()->Delete(0);
    EXPECT_EQ(document->Root()->Count(), 0);
    LoadText(*document, text);
    document.reset();
}

} // namespace
