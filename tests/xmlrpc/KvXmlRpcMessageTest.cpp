#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include <string>
#include <utility>

#include <QDate>
#include <QTime>

#include "UKvXmlRpc.h"

namespace {

const std::string Fault4 =
    "<?xml version=\"1.0\"?><methodResponse><fault><value><struct>"
    "<member><name>faultCode</name><value><int>4</int></value></member>"
    "<member><name>faultString</name><value><string>Too many paramaters.</string></value></member>"
    "</struct></value></fault></methodResponse>";

using ::testing::HasSubstr;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

TEST(Messages, FaultResponseHoldsCodeAndTextAsStructMembers)
{
    TKvXmlRpcResponse response;
    response.SetFault(4, "Too many paramaters.");
    EXPECT_EQ(response.GetXML(), Fault4);
}

TEST(Messages, SetFaultDiscardsWhatWasBuiltBefore)
{
    TKvXmlRpcResponse response;
    response.MethodResponse().Params().Add().SetInt(1);
    response.SetFault(4, "Too many paramaters.");
    EXPECT_EQ(response.GetXML(), Fault4);
}

TEST(Messages, CallPutsMethodNameBeforeParamsInTheOrderTouched)
{
    const std::pair<std::function<void(const TXMLValueType&)>, const char*> params[] = {
        {[](const TXMLValueType& v) { v.SetInt(14); }, "<value><int>14</int></value>"},
        {[](const TXMLValueType& v) { v.SetI4(27); }, "<value><i4>27</i4></value>"},
        {[](const TXMLValueType& v) { v.SetBoolean(1); }, "<value><boolean>1</boolean></value>"},
        {[](const TXMLValueType& v) { v.SetString(QStringLiteral("Hello, World!")); }, "<value><string>Hello, World!</string></value>"},
        {[](const TXMLValueType& v) { v.SetDouble(QStringLiteral("12.214")); }, "<value><double>12.214</double></value>"}};
    TKvXmlRpcCall call;
    call.MethodCall().SetMethodName(QStringLiteral("http://localhost:8080/RPC2"));
    std::string expected = "<?xml version=\"1.0\"?><methodCall><methodName>http://localhost:8080/RPC2</methodName><params>";
    for (const auto& [write, xml] : params) {
        write(call.MethodCall().Params().Add());
        expected += xml;
    }
    EXPECT_EQ(call.GetXML(), expected + "</params></methodCall>");
}

TEST(Messages, CallWithoutMethodNameHasNoTextAndGainsAnEmptyMethodName)
{
    TKvXmlRpcCall call;
    EXPECT_THAT([&] { call.GetXML(); }, ThrowsMessage<EKvXmlRpcError>(StrEq("MethodName is not defined.")));
    EXPECT_EQ(call.MethodCall().XML(), QStringLiteral("<methodCall><methodName/></methodCall>"));
}

TEST(Messages, BaseMessageShowsItsContainer)
{
    TKvXmlRpcBase message;
    EXPECT_EQ(message.GetXML(), "<?xml version=\"1.0\"?><KvXmlRpc/>");
    EXPECT_EQ(message.MethodName(), "");
    EXPECT_EQ(message.GetXML(), "<?xml version=\"1.0\"?><KvXmlRpc><methodCall><methodName/></methodCall></KvXmlRpc>");
}

TEST(Messages, EncodeBase64GivesTheStandardAlphabetWithPadding)
{
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},           {"f", "Zg=="},          {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xfb\xff", "+/8="}};
    for (const auto& [data, text] : vectors)
        EXPECT_EQ(TKvXmlRpcBase::EncodeBase64(data), text) << data;
}

TEST(Messages, DateTimeAndBooleanConversions)
{
    EXPECT_EQ(TKvXmlRpcBase::DateTimeToXml(QDateTime(QDate(1998, 7, 17), QTime(14, 8, 55))), "19980717T14:08:55");
    EXPECT_EQ(TKvXmlRpcBase::DateTimeToXml(QDateTime(QDate(2005, 1, 2), QTime(3, 4, 5))), "20050102T03:04:05");
    EXPECT_EQ(TKvXmlRpcBase::BoolToXml(true), 1);
    EXPECT_EQ(TKvXmlRpcBase::BoolToXml(false), 0);
}

TEST(Messages, LoadedCallReadsBackThroughTheAccessors)
{
    const std::string text = "<?xml version=\"1.0\"?><methodCall><methodName>Caf\xe9 \x80</methodName><params>"
                             "<value><i4>-3</i4></value><value><string>a&lt;b</string></value></params></methodCall>";
    TKvXmlRpcCall call(text);
    EXPECT_EQ(call.MethodName(), "Caf\xe9 \x80");
    EXPECT_EQ(call.MethodCall().MethodName(), QStringLiteral("Caf\u00e9 \u20ac"));
    const TXMLParamsType params = call.MethodCall().Params();
    ASSERT_EQ(params.Count(), 2);
    EXPECT_EQ(params.Value(0).I4(), -3);
    EXPECT_EQ(params.Value(1).String(), QStringLiteral("a<b"));
    EXPECT_EQ(call.GetXML(), text);
}

TEST(Messages, LoadedResponseReadsBackThroughTheAccessors)
{
    TKvXmlRpcResponse response("<methodResponse>\n  <params>\n    <value>South Dakota</value>\n  </params>\n</methodResponse>");
    EXPECT_EQ(response.MethodResponse().Params().Count(), 1);
    EXPECT_EQ(response.MethodResponse().Params().Value(0).NodeText(), QStringLiteral("South Dakota"));

    TKvXmlRpcResponse fault(Fault4);
    const TXMLAsStructType members = fault.MethodResponse().Fault().Value().AsStruct();
    EXPECT_EQ(members.Member(0).Value().Int(), 4);
    EXPECT_EQ(members.Member(1).Name(), QStringLiteral("faultString"));
    EXPECT_EQ(fault.GetXML(), Fault4);
}

TEST(Messages, TextThatIsNotWellFormedAfterWrappingFailsTheConstruction)
{
    const std::pair<const char*, const char*> cases[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><methodCall/>", "XML declaration not at start of document."},
        {"<?xml version='1.0'?><methodCall/>", "XML declaration not at start of document."},
        {"<methodCall><methodName>x</methodCall>", "tag mismatch"},
        {"</KvXmlRpc><methodCall/><KvXmlRpc>", ""}};
    for (const auto& [text, reason] : cases)
        EXPECT_THAT([text = text] { TKvXmlRpcCall call{std::string(text)}; }, ThrowsMessage<EKvXmlRpcError>(HasSubstr(reason))) << text;
}

TEST(Messages, TextOutsideTheCodePageIsRefusedNotReplaced)
{
    TKvXmlRpcCall call;
    call.MethodCall().SetMethodName(QStringLiteral("\u4e2d"));
    EXPECT_THAT([&] { call.GetXML(); },
                ThrowsMessage<EKvXmlRpcError>(StrEq("The message holds a character that Windows-1252 cannot represent.")));
}

} // namespace
