#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "UKvXmlRpc.h"

namespace {

// A fresh value inside a response's params.
class Nodes : public ::testing::Test {
protected:
    TKvXmlRpcResponse Message;
    TXMLValueType Value = Message.MethodResponse().Params().Add();

    std::string Xml() const { return Value.XML().toStdString(); }
};

TEST_F(Nodes, IntAndI4AreSeparateElementsEachReadOnlyThroughItsOwnAccessor)
{
    Value.SetInt(5);
    Value.SetI4(-6);
    EXPECT_EQ(Value.Int(), 5);
    EXPECT_EQ(Value.I4(), -6);
    EXPECT_EQ(Xml(), "<value><int>5</int><i4>-6</i4></value>");
}

TEST_F(Nodes, TwoScalarAccessorsOfOneValueStayInTheOrderWritten)
{
    Value.SetString(QStringLiteral("first"));
    Value.SetBoolean(1);
    Value.SetString(QStringLiteral("second"));
    EXPECT_EQ(Xml(), "<value><string>second</string><boolean>1</boolean></value>");
}

TEST_F(Nodes, ReadingAMissingChildCreatesItEmpty)
{
    EXPECT_EQ(Value.String(), QString());
    EXPECT_EQ(Value.Double(), QString());
    EXPECT_EQ(Xml(), "<value><string/><double/></value>");
}

TEST(IntegerAccessors, ReadDecimal32BitTextAndFailOnAnyOtherWithTheConversionError)
{
    const std::pair<const char*, const char*> cases[] = {
        {"-2147483648", nullptr}, {"2147483647", nullptr}, {"", "'' is not a valid integer value"},
        {"12x", "'12x' is not a valid integer value"}, {"1.5", "'1.5' is not a valid integer value"},
        {"0x10", "'0x10' is not a valid integer value"}, {"2147483648", "'2147483648' is not a valid integer value"}};
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(text);
        TKvXmlRpcResponse message("<methodResponse><params><value><int>" + std::string(text) + "</int></value></params></methodResponse>");
        const TXMLValueType value = message.MethodResponse().Params().Value(0);
        if (!error) {
            EXPECT_EQ(QString::number(value.Int()), QString::fromLatin1(text));
            continue;
        }
        try {
            value.Int();
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& raised) {
            EXPECT_STREQ(raised.what(), error);
        }
    }
}

TEST_F(Nodes, ReadingAMissingIntegerCreatesTheElementAndFails)
{
    EXPECT_THROW(Value.Boolean(), EConvertError);
    EXPECT_EQ(Xml(), "<value><boolean/></value>");
}

TEST_F(Nodes, NodeTextIsTheValuesOwnTextWithoutATypedChild)
{
    Value.SetString(QStringLiteral("typed"));
    Value.SetNodeText(QStringLiteral("South Dakota"));
    EXPECT_EQ(Xml(), "<value>South Dakota</value>");
    EXPECT_EQ(Value.NodeText(), QStringLiteral("South Dakota"));
}

TEST_F(Nodes, TextIsEscapedAndReadBackAsWritten)
{
    const QString text = QStringLiteral("a<b & \"c\" ]]> d");
    Value.SetString(text);
    EXPECT_EQ(Xml(), "<value><string>a&lt;b &amp; \"c\" ]]&gt; d</string></value>");
    EXPECT_EQ(Value.String(), text);
}

TEST_F(Nodes, ArraysAndStructsNestWithoutWhiteSpace)
{
    Value.AsArray().Data().Add().SetDouble(QStringLiteral("1.5"));
    const TXMLMemberType member = Value.AsArray().Data().Add().AsStruct().Add();
    member.SetName(QStringLiteral("n"));
    member.Value().SetDateTimeIso8601(QStringLiteral("19980717T14:08:55"));
    EXPECT_EQ(Xml(), "<value><array><data><value><double>1.5</double></value><value><struct><member><name>n</name><value>"
                     "<dateTime.iso8601>19980717T14:08:55</dateTime.iso8601></value></member></struct></value></data></array></value>");
}

TEST_F(Nodes, InsertPlacesItemsAmongTheItemsAndMinusOneAppends)
{
    const TXMLParamsType params = Message.MethodResponse().Params();
    Value.SetInt(1);
    params.Add().SetInt(3);
    params.Insert(1).SetInt(2);
    params.Insert(-1).SetInt(4);
    params.Insert(0).SetInt(0);
    params.Insert(params.Count()).SetInt(5);
    ASSERT_EQ(params.Count(), 6);
    for (int i = 0; i < params.Count(); ++i)
        EXPECT_EQ(params.Value(i).Int(), i);
}

TEST_F(Nodes, IndexOutsideTheCollectionFails)
{
    const TXMLAsStructType members = Value.AsStruct();
    members.Add().SetName(QStringLiteral("only"));
    EXPECT_EQ(members.Member(0).Name(), QStringLiteral("only"));
    EXPECT_THROW(members.Member(1), EKvXmlRpcError);
    EXPECT_THROW(members.Member(-1), EKvXmlRpcError);
    EXPECT_THROW(members.Insert(2), EKvXmlRpcError);
    EXPECT_THROW(members.Insert(-2), EKvXmlRpcError);
    EXPECT_EQ(members.Count(), 1);
}

} // namespace
