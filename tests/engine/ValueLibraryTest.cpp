#include <gtest/gtest.h>

#include <string>

#include "TempFolder.h"
#include "selvane_value.h"

namespace {

TEST(ValueLibrary, CopiesIntoTheCallersBuffer)
{
    TTempFolder folder;
    const std::u16string file = folder.Write("config.xml", "<config><db host=\"srv\" user=\"r\xe9mi\"/></config>").u16string();
    ASSERT_EQ(OpenXMLFile(file.c_str()), 1);
    char16_t value[4] = {u'x', u'x', u'x', u'x'};
    size_t needed = 99;
    ASSERT_EQ(ReadXMLValue(u"config.db.host", value, 4, &needed), 1);
    EXPECT_EQ(needed, 4u);
    EXPECT_EQ(std::u16string(value), u"srv");

    // Too small: the size needed comes back, the buffer holds the empty text.
    ASSERT_EQ(ReadXMLValue(u"config.db.user", value, 4, &needed), 1);
    EXPECT_EQ(needed, 5u);
    EXPECT_EQ(value[0], u'\0');
    char16_t large[5];
    ASSERT_EQ(ReadXMLValue(u"config.db.user", large, 5, nullptr), 1);
    EXPECT_EQ(std::u16string(large), u"r\u00e9mi");

    // Not found: nothing is touched.
    value[0] = u'k';
    needed = 99;
    EXPECT_EQ(ReadXMLValue(u"config.none.host", value, 4, &needed), 0);
    EXPECT_EQ(value[0], u'k');
    EXPECT_EQ(needed, 99u);

    EXPECT_EQ(CloseXMLFile(nullptr), 1);
    EXPECT_EQ(CloseXMLFile(nullptr), 0);
    EXPECT_EQ(ReadXMLValue(u"config.db.host", value, 4, &needed), 0);
}

} // namespace
