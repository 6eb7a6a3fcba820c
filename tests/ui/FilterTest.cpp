#include <gtest/gtest.h>

#include <QComboBox>

#include <string>

#include "MainWindowFixture.h"
#include "MatchMask.h"

namespace {

// Patterns as typed against names; the window folds a to z to upper case first.
struct TMatchCase {
    const char* pattern;
    const char* name;
    bool shown;
};

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

TEST(Matcher, PatternsAgainstNames)
{
    const TMatchCase cases[] = {
        {"*", "anything", true},     {"", "width", false},      {"", "", true},
        {"W*", "width", true},       {"W*", "Width", true},     {"w*h", "width", true},
        {"?idth", "width", true},    {"width?", "width", true}, {"width?", "widths", true},
        {"width??", "width", true},  {"width??", "widthX", true}, {"width??", "widthXY", true},
        {"width?", "widthXY", false}, {"*th", "width", true},   {"*abc", "abc", true},
        {"*abc", "xabc", true},      {"*ab", "abab", false},    {"a*a", "a", true},
        {"ab*b", "ab", true},        {"**", "width", false},    {"*?", "width", false},
        {"**", "a*b", true},         {"x.y", "x.y", true},      {"x.y", "xzy", true},
        {"*.txt", "readme.txt", false}, {"*.*", "a.b", true},   {"w", "width", false},
        {"é*", "éclat", true},       {"É*", "éclat", false},
    };
    for (const TMatchCase& test : cases)
        EXPECT_EQ(MatchMask(Upper(test.pattern), Upper(test.name)), test.shown) << test.pattern << " against " << test.name;
}

TEST(Matcher, LongPatternsAndNamesAreServed)
{
    const std::string name = std::string(300, 'A') + "Z" + std::string(300, 'B');
    EXPECT_TRUE(MatchMask("*Z" + std::string(300, 'B'), name));
    EXPECT_TRUE(MatchMask(std::string(300, 'A') + "?" + std::string(299, 'B') + "*", name));
    EXPECT_FALSE(MatchMask(std::string(300, 'A') + "?" + std::string(301, 'B'), name));
    // The dot of a long pattern divides a long name at the same place.
    EXPECT_TRUE(MatchMask(std::string(300, 'A') + ".*", name));
    EXPECT_TRUE(MatchMask(std::string(300, 'A') + "." + std::string(300, 'B'), name));
}

constexpr std::string_view Parameters =
    "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n"
    "<A>\r\n"
    "  <B width=\"10\" height=\"5\" Weight=\"7\"/>\r\n"
    "  <C wide=\"1\" colour=\"red\"/>\r\n"
    "</A>\r\n";

class Filter : public MainWindow {
protected:
    void SetUp() override
    {
        Folder.Write("doc.xml", Parameters);
        Open({FileName});
        ClickNode(Node({0}));
    }
    QComboBox* Box() const { return Window->findChild<QComboBox*>(QStringLiteral("cbfilter")); }
    QStringList Rows() const
    {
        QStringList names;
        for (int row = 0; row < List()->model()->rowCount(); ++row)
            names << List()->model()->index(row, 0).data().toString();
        return names;
    }
    QStringList Entries() const
    {
        QStringList entries;
        for (int i = 0; i < Box()->count(); ++i)
            entries << Box()->itemText(i);
        return entries;
    }
    void Type(const QString& text)
    {
        Box()->lineEdit()->clear();
        QTest::keyClicks(Box()->lineEdit(), text);
    }
};

TEST_F(Filter, UseFilterNarrowsTheListAndIsOffAgainAtTheNextStart)
{
    Type(QStringLiteral("w*"));
    EXPECT_EQ(Rows(), QStringList({"width", "height", "Weight"})) << "off: every row";
    QTest::keyClick(Window.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(Command("aFilter")->isChecked());
    EXPECT_EQ(Rows(), QStringList({"width", "Weight"}));
    Command("aFilter")->trigger();
    EXPECT_EQ(Rows(), QStringList({"width", "height", "Weight"}));
    Command("aFilter")->trigger();
    CloseAndDestroy();
    Open({FileName});
    EXPECT_FALSE(Command("aFilter")->isChecked());
}

TEST_F(Filter, AnEmptyBoxHidesEveryNamedRow)
{
    Command("aFilter")->trigger();
    EXPECT_TRUE(Rows().isEmpty());
}

TEST_F(Filter, EditedPatternAppliesAtEnterOrTheNextFill)
{
    Command("aFilter")->trigger();
    Type(QStringLiteral("h*"));
    EXPECT_TRUE(Rows().isEmpty()) << "typing alone does not refill";
    QTest::keyClick(Box()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(Rows(), QStringList({"height"}));
    Type(QStringLiteral("*e"));
    ClickNode(Node({1}));
    EXPECT_EQ(Rows(), QStringList({"wide"})) << "the new node's list takes the typed pattern";
}

TEST_F(Filter, ChoosingAnEntryFromTheListAppliesIt)
{
    Command("aFilter")->trigger();
    Type(QStringLiteral("*EIGHT"));
    Command("aAddFilter")->trigger();
    Type(QStringLiteral("?idth"));
    Command("aAddFilter")->trigger();
    EXPECT_EQ(Entries(), QStringList({"*EIGHT", "?idth"}));
    Box()->showPopup();
    auto* popup = Box()->view();
    QTest::keyClick(popup, Qt::Key_Home);
    QTest::keyClick(popup, Qt::Key_Return);
    EXPECT_EQ(Box()->currentText(), QStringLiteral("*EIGHT"));
    EXPECT_EQ(Rows(), QStringList({"height", "Weight"}));
}

TEST_F(Filter, AddFilterIgnoresLetterCaseAndDeleteRemovesTheChosenEntry)
{
    Type(QStringLiteral("w*"));
    Command("aAddFilter")->trigger();
    Type(QStringLiteral("W*"));
    Command("aAddFilter")->trigger();
    EXPECT_EQ(Entries(), QStringList({"w*"}));
    Type(QString());
    Command("aAddFilter")->trigger();
    Command("aAddFilter")->trigger();
    EXPECT_EQ(Entries(), QStringList({"w*", ""})) << "an empty entry, once";

    Type(QStringLiteral("typed"));
    Command("aDelFilter")->trigger();
    EXPECT_EQ(Entries(), QStringList({"w*", ""})) << "nothing chosen, nothing removed";
    Box()->setCurrentIndex(0);
    Command("aDelFilter")->trigger();
    EXPECT_EQ(Entries(), QStringList({""}));

    CloseAndDestroy();
    EXPECT_EQ(Stored("Filter"), "\r\n");
}

TEST_F(Filter, StoredListIsReadBackOneEntryPerLine)
{
    Type(QStringLiteral("a*"));
    Command("aAddFilter")->trigger();
    Type(QStringLiteral("*.b"));
    Command("aAddFilter")->trigger();
    CloseAndDestroy();
    EXPECT_EQ(Stored("Filter"), "a*\r\n*.b\r\n");
    Open({FileName});
    EXPECT_EQ(Entries(), QStringList({"a*", "*.b"}));
}

} // namespace
