#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "ECXMLParser.h"
#include "EngineTestSupport.h"
#include "Exceptions.h"
#include "XMLGhost.h"

using namespace enginetest;

namespace {

TEST(DocumentEvents, ClearRaisesBeforeAndAfterButNoItemChanged)
{
    TECXMLParser document;
    LoadText(document, "<?xml-stylesheet href=\"s.xsl\"?>\r\n<a x=\"1\">v<b/></a>");
    document.SetCrLfInAsString(false);
    EventLog log(document);

    document.Clear();

    EXPECT_EQ(log.events, (Events{"BeforeClear", "OnCleared"}));
    EXPECT_EQ(log.sender, &document);
    EXPECT_EQ(Dump(*document.Root()), "\n");
    EXPECT_EQ(document.StyleSheet(), "s.xsl");
    EXPECT_FALSE(document.CrLfInAsString());
}

TEST(DocumentEvents, RefusalsLeaveDocumentAsItWas)
{
    TECXMLParser document;
    LoadText(document, "<?xml-stylesheet href=\"s.xsl\"?>\r\n<a x=\"1\">v<b/></a>");
    const std::string before = Dump(*document.Root());
    EventLog log(document);
    log.allowClear = log.allowLoad = log.allowSave = false;

    document.Clear();
    LoadText(document, "<?xml-stylesheet href=\"other.xsl\"?>\r\n<other/>");
    std::ostringstream written;
    document.SaveToStream(written, false);

    EXPECT_EQ(Dump(*document.Root()), before);
    EXPECT_EQ(document.StyleSheet(), "s.xsl");
    EXPECT_EQ(written.str(), "");
    EXPECT_EQ(log.events, (Events{"BeforeClear", "BeforeLoad", "BeforeSave"}));
    // The handlers are all still in place.
    document.Root()->SetName("renamed");
    log.allowLoad = true;
    LoadText(document, "<c/>");
    EXPECT_EQ(log.events,
              (Events{"BeforeClear", "BeforeLoad", "BeforeSave", "Changed renamed", "BeforeLoad", "OnLoaded"}));
}

TEST(DocumentEvents, LoadReportsNoItemChangesAndRestoresHandlerFirst)
{
    TECXMLParser document;
    EventLog log(document);
    document.OnLoaded = [&](TECXMLParser*) {
        log.events.push_back(document.XMLItemChanged ? "OnLoaded with handler" : "OnLoaded without handler");
    };

    LoadText(document, "<a x=\"1\">v<b>w</b><c/></a>");

    EXPECT_EQ(log.events, (Events{"BeforeLoad", "OnLoaded with handler"}));
}

TEST(DocumentEvents, FailedLoadRaisesNoOnLoadedAndKeepsReporting)
{
    TECXMLParser document;
    EventLog log(document);
    EXPECT_THROW(LoadText(document, "<a><b>x</b></a>tail"), EParserError);
    EXPECT_EQ(Dump(*document.Root()), "a\n  b = x\n");

    document.Root()->New()->SetName("c");
    document.Root()->Delete(0);
    EXPECT_EQ(log.events, (Events{"BeforeLoad", "Changed a", "Changed c", "Changed a"}));
}

TEST(DocumentEvents, GhostPassesEveryOperationToItsPrimaryDocument)
{
    TempFolder folder;
    TECXMLParser document;
    EventLog log(document);
    TXMLGhost ghost;
    ghost.SetPrimaryDocument(&document);
    IECXMLDocument& through = ghost;

    std::istringstream in("<a><b/></a>");
    through.LoadFromStream(in);
    EXPECT_EQ(through.Root(), document.Root());
    EXPECT_EQ(Dump(*document.Root()), "a\n  b\n");

    std::ostringstream out;
    through.SaveToStream(out, false);
    EXPECT_EQ(out.str(), std::string(Head) + "  <a>\r\n    <b/>\r\n  </a>\r\n");
    through.SaveToFile(folder / "doc.xml");
    through.Clear();
    through.LoadFromFile(folder / "doc.xml");
    EXPECT_EQ(Dump(*document.Root()), "a\n  b\n");
    EXPECT_THROW(through.LoadFromFile(folder / "missing.xml"), EFOpenError);

    EXPECT_EQ(log.events, (Events{"BeforeLoad", "OnLoaded", "BeforeSave", "OnSaved", "BeforeSave", "OnSaved",
                                  "BeforeClear", "OnCleared", "BeforeLoad", "OnLoaded"}));
    EXPECT_EQ(log.sender, &document);

    // Without a primary document nothing happens anywhere.
    ghost.SetPrimaryDocument(nullptr);
    std::ostringstream none;
    EXPECT_THROW(through.Root(), Exception);
    EXPECT_THROW(through.SaveToStream(none, false), Exception);
    EXPECT_THROW(through.Clear(), Exception);
    EXPECT_EQ(none.str(), "");
    EXPECT_EQ(log.events.size(), 10u);
}

} // namespace
