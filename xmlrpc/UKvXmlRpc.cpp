#include "UKvXmlRpc.h"

#include <QByteArray>
#include <QStringConverter>
#include <QTextStream>

namespace {

constexpr const char* CodePage = "windows-1252";
constexpr std::string_view Declaration = "<?xml version=\"1.0\"?>";
constexpr const char* ContainerName = "KvXmlRpc";

QStringDecoder CodePageDecoder()
{
    QStringDecoder decoder(CodePage);
    if (!decoder.isValid())
        throw EKvXmlRpcError("The Windows-1252 code page is not available.");
    return decoder;
}

QString FromCodePage(std::string_view text)
{
    QStringDecoder decoder = CodePageDecoder();
    return decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
}

// A character the code page cannot hold is refused, never replaced.
std::string ToCodePage(const QString& text)
{
    QStringEncoder encoder(CodePage);
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        throw EKvXmlRpcError("The message holds a character that Windows-1252 cannot represent.");
    return bytes.toStdString();
}

void ReplaceContent(QDomElement& element, const QString& text)
{
    while (!element.firstChild().isNull())
        element.removeChild(element.firstChild());
    if (!text.isEmpty())
        element.appendChild(element.ownerDocument().createTextNode(text));
}

} // namespace

QString TXMLNodeBase::XML() const
{
    QString text;
    QTextStream stream(&text);
    FElement.save(stream, -1);
    stream.flush();
    return text;
}

QDomElement TXMLNodeBase::Child(const char* name) const
{
    const QString tag = QString::fromLatin1(name);
    QDomElement child = FElement.firstChildElement(tag);
    if (child.isNull()) {
        child = FElement.ownerDocument().createElement(tag);
        // The handle is const, the element it refers to is not.
        QDomElement(FElement).appendChild(child);
    }
    return child;
}

void TXMLNodeBase::SetChildText(const char* name, const QString& text) const
{
    QDomElement child = Child(name);
    ReplaceContent(child, text);
}

std::int32_t TXMLNodeBase::ChildInt(const char* name) const
{
    const QString text = ChildText(name);
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        throw EConvertError("'" + text.toStdString() + "' is not a valid integer value");
    return value;
}

int TXMLCollectionBase::Count() const
{
    int count = 0;
    for (QDomElement item = FElement.firstChildElement(QString::fromLatin1(FItemName)); !item.isNull();
         item = item.nextSiblingElement(QString::fromLatin1(FItemName)))
        ++count;
    return count;
}

QDomElement TXMLCollectionBase::ItemAt(int index) const
{
    QDomElement item = FElement.firstChildElement(QString::fromLatin1(FItemName));
    for (int i = 0; i < index && !item.isNull(); ++i)
        item = item.nextSiblingElement(QString::fromLatin1(FItemName));
    if (index < 0 || item.isNull())
        throw EKvXmlRpcError("List index out of bounds (" + std::to_string(index) + ")");
    return item;
}

QDomElement TXMLCollectionBase::InsertItem(int index) const
{
    QDomElement parent = FElement;
    QDomElement item = parent.ownerDocument().createElement(QString::fromLatin1(FItemName));
    if (index == -1 || index == Count())
        parent.appendChild(item);
    else
        parent.insertBefore(item, ItemAt(index));
    return item;
}

TXMLAsArrayType TXMLValueType::AsArray() const { return TXMLAsArrayType(Child("array")); }

TXMLAsStructType TXMLValueType::AsStruct() const { return TXMLAsStructType(Child("struct")); }

void TXMLValueType::SetNodeText(const QString& text) const
{
    QDomElement element = FElement;
    ReplaceContent(element, text);
}

TKvXmlRpcBase::TKvXmlRpcBase(const std::string& xml)
{
    if (xml.empty())
        NewMessageDocument();
    else
        LoadFromXML(xml);
}

std::string TKvXmlRpcBase::GetXML() { return Declared(FRoot); }

std::string TKvXmlRpcBase::MethodName() { return ToCodePage(MethodCall().MethodName()); }

std::string TKvXmlRpcBase::DateTimeToXml(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyyMMdd'T'HH:mm:ss")).toStdString();
}

std::string TKvXmlRpcBase::EncodeBase64(std::string_view data)
{
    return QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size())).toBase64().toStdString();
}

void TKvXmlRpcBase::NewMessageDocument()
{
    FDocument = QDomDocument();
    FRoot = TXMLKvXmlRpcType(FDocument.createElement(QString::fromLatin1(ContainerName)));
    FDocument.appendChild(FRoot.Element());
}

void TKvXmlRpcBase::LoadFromXML(const std::string& xml)
{
    std::string text = xml;
    for (size_t at = text.find(Declaration); at != std::string::npos; at = text.find(Declaration, at))
        text.erase(at, Declaration.size());
    const std::string wrapped = std::string("<") + ContainerName + ">" + text + "</" + ContainerName + ">";

    QDomDocument document;
    QString error;
    int line = 0;
    int column = 0;
    if (!document.setContent(FromCodePage(wrapped), &error, &line, &column))
        throw EKvXmlRpcError(QStringLiteral("%1 (line %2, column %3)").arg(error).arg(line).arg(column).toStdString());
    FDocument = document;
    FRoot = TXMLKvXmlRpcType(FDocument.documentElement());
}

std::string TKvXmlRpcBase::Declared(const TXMLNodeBase& node) { return std::string(Declaration) + ToCodePage(node.XML()); }

std::string TKvXmlRpcCall::GetXML()
{
    if (MethodName().empty())
        throw EKvXmlRpcError("MethodName is not defined.");
    return Declared(MethodCall());
}

std::string TKvXmlRpcResponse::GetXML() { return Declared(MethodResponse()); }

void TKvXmlRpcResponse::SetFault(std::int32_t code, const std::string& text)
{
    NewMessageDocument();
    const TXMLAsStructType fault = MethodResponse().Fault().Value().AsStruct();
    const TXMLMemberType faultCode = fault.Add();
    faultCode.SetName(QStringLiteral("faultCode"));
    faultCode.Value().SetInt(code);
    const TXMLMemberType faultString = fault.Add();
    faultString.SetName(QStringLiteral("faultString"));
    faultString.Value().SetString(FromCodePage(text));
}
