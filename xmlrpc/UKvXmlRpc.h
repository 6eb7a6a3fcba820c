#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include <QDateTime>
#include <QDomDocument>
#include <QDomElement>
#include <QString>

// XML-RPC messages over Qt's DOM. The node classes give typed access to the elements of
// the vocabulary and take UTF-16 text; the message classes own a document and take and
// give 8-bit text in the Windows-1252 code page.

// Every error the model raises; what() is the message for the user (UTF-8).
class EKvXmlRpcError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "'<text>' is not a valid integer value": an integer element read with other text.
class EConvertError : public EKvXmlRpcError {
public:
    using EKvXmlRpcError::EKvXmlRpcError;
};

// Typed access to one element. Nodes are handles: copies refer to the same element.
// Reading a child that is missing creates it, empty, as the last child, so elements
// appear in the order in which they are first touched.
class TXMLNodeBase {
public:
    explicit TXMLNodeBase(QDomElement element) : FElement(std::move(element)) {}

    const QDomElement& Element() const { return FElement; }
    // The element with its subtree, no white space added, text escaped.
    QString XML() const;

protected:
    // The first child element named `name`, created when missing.
    QDomElement Child(const char* name) const;
    // Text of all the child's descendants; a missing child is created and reads as empty.
    QString ChildText(const char* name) const { return Child(name).text(); }
    // Replaces the child's whole content by `text`.
    void SetChildText(const char* name, const QString& text) const;
    // The child's text as a 32-bit decimal integer; EConvertError for other text, also
    // for an empty or missing child.
    std::int32_t ChildInt(const char* name) const;
    void SetChildInt(const char* name, std::int32_t value) const { SetChildText(name, QString::number(value)); }

    QDomElement FElement;
};

// A collection element: every child is an item named `itemName`.
class TXMLCollectionBase : public TXMLNodeBase {
public:
    // Number of item elements.
    int Count() const;

protected:
    TXMLCollectionBase(QDomElement element, const char* itemName) : TXMLNodeBase(std::move(element)), FItemName(itemName) {}

    // The item at the 0-based `index`; EKvXmlRpcError when there is none.
    QDomElement ItemAt(int index) const;
    // A new empty item at `index` among the items, -1 or Count appending; EKvXmlRpcError
    // for any other index.
    QDomElement InsertItem(int index) const;

private:
    const char* FItemName;
};

template <class TItem>
class TXMLCollection : public TXMLCollectionBase {
public:
    explicit TXMLCollection(QDomElement element) : TXMLCollectionBase(std::move(element), TItem::TagName) {}

    // Appends a new empty item after all children.
    TItem Add() const { return TItem(InsertItem(-1)); }
    // Inserts a new empty item at `index`; -1 appends.
    TItem Insert(int index) const { return TItem(InsertItem(index)); }

protected:
    TItem Item(int index) const { return TItem(ItemAt(index)); }
};

class TXMLAsArrayType;
class TXMLAsStructType;

// value: one typed scalar, an array, a struct, or untyped text. Nothing keeps two typed
// children out of one value; each accessor reads and writes only its own element.
class TXMLValueType : public TXMLNodeBase {
public:
    static constexpr const char* TagName = "value";
    using TXMLNodeBase::TXMLNodeBase;

    TXMLAsArrayType AsArray() const;
    TXMLAsStructType AsStruct() const;
    QString Base64() const { return ChildText("base64"); }
    void SetBase64(const QString& text) const { SetChildText("base64", text); }
    // 0 for false, 1 for true.
    std::int32_t Boolean() const { return ChildInt("boolean"); }
    void SetBoolean(std::int32_t value) const { SetChildInt("boolean", value); }
    // Finished text such as DateTimeToXml gives; no date handling here.
    QString DateTimeIso8601() const { return ChildText("dateTime.iso8601"); }
    void SetDateTimeIso8601(const QString& text) const { SetChildText("dateTime.iso8601", text); }
    // Finished number text; no number formatting here.
    QString Double() const { return ChildText("double"); }
    void SetDouble(const QString& text) const { SetChildText("double", text); }
    std::int32_t I4() const { return ChildInt("i4"); }
    void SetI4(std::int32_t value) const { SetChildInt("i4", value); }
    std::int32_t Int() const { return ChildInt("int"); }
    void SetInt(std::int32_t value) const { SetChildInt("int", value); }
    QString String() const { return ChildText("string"); }
    void SetString(const QString& text) const { SetChildText("string", text); }
    // The value element's own text: an untyped value. Writing replaces every child.
    QString NodeText() const { return FElement.text(); }
    void SetNodeText(const QString& text) const;
};

// member of a struct: a name and a value.
class TXMLMemberType : public TXMLNodeBase {
public:
    static constexpr const char* TagName = "member";
    using TXMLNodeBase::TXMLNodeBase;

    QString Name() const { return ChildText("name"); }
    void SetName(const QString& text) const { SetChildText("name", text); }
    TXMLValueType Value() const { return TXMLValueType(Child("value")); }
};

// params: the values of a call or a response, with no param element between.
class TXMLParamsType : public TXMLCollection<TXMLValueType> {
public:
    using TXMLCollection::TXMLCollection;
    TXMLValueType Value(int index) const { return Item(index); }
};

// data: the values of an array.
class TXMLDataType : public TXMLCollection<TXMLValueType> {
public:
    using TXMLCollection::TXMLCollection;
    TXMLValueType Value(int index) const { return Item(index); }
};

class TXMLAsArrayType : public TXMLNodeBase {
public:
    using TXMLNodeBase::TXMLNodeBase;
    TXMLDataType Data() const { return TXMLDataType(Child("data")); }
};

class TXMLAsStructType : public TXMLCollection<TXMLMemberType> {
public:
    using TXMLCollection::TXMLCollection;
    TXMLMemberType Member(int index) const { return Item(index); }
};

class TXMLFaultType : public TXMLNodeBase {
public:
    using TXMLNodeBase::TXMLNodeBase;
    TXMLValueType Value() const { return TXMLValueType(Child("value")); }
};

class TXMLMethodCallType : public TXMLNodeBase {
public:
    using TXMLNodeBase::TXMLNodeBase;
    QString MethodName() const { return ChildText("methodName"); }
    void SetMethodName(const QString& text) const { SetChildText("methodName", text); }
    TXMLParamsType Params() const { return TXMLParamsType(Child("params")); }
};

class TXMLMethodResponseType : public TXMLNodeBase {
public:
    using TXMLNodeBase::TXMLNodeBase;
    TXMLFaultType Fault() const { return TXMLFaultType(Child("fault")); }
    TXMLParamsType Params() const { return TXMLParamsType(Child("params")); }
};

// KvXmlRpc, the document element that holds the message inside the model and never
// appears in a call's or a response's text.
class TXMLKvXmlRpcType : public TXMLNodeBase {
public:
    using TXMLNodeBase::TXMLNodeBase;
    TXMLMethodCallType MethodCall() const { return TXMLMethodCallType(Child("methodCall")); }
    TXMLMethodResponseType MethodResponse() const { return TXMLMethodResponseType(Child("methodResponse")); }
};

// A message with the document it owns.
class TKvXmlRpcBase {
public:
    // An empty message for an empty `xml`, else the message read from it; the DOM's parse
    // error (EKvXmlRpcError) when the text is not well formed.
    explicit TKvXmlRpcBase(const std::string& xml = {});
    virtual ~TKvXmlRpcBase() = default;
    TKvXmlRpcBase(const TKvXmlRpcBase&) = delete;
    TKvXmlRpcBase& operator=(const TKvXmlRpcBase&) = delete;

    // "<?xml version="1.0"?>" directly followed by the document element's XML text.
    virtual std::string GetXML();
    TXMLMethodCallType MethodCall() { return FRoot.MethodCall(); }
    // The call's method name, creating methodCall and methodName when missing.
    std::string MethodName();

    static std::int32_t BoolToXml(bool value) { return value ? 1 : 0; }
    // yyyymmddThh:mm:ss, such as 19980717T14:08:55.
    static std::string DateTimeToXml(const QDateTime& time);
    // Standard Base64 with "=" padding and no line breaks; empty for empty data.
    static std::string EncodeBase64(std::string_view data);

protected:
    // Replaces the document by a new one holding only an empty KvXmlRpc.
    void NewMessageDocument();
    // Reads a call's or a response's text; every exact "<?xml version="1.0"?>" is dropped
    // first, a declaration in any other form stays and fails the parse.
    void LoadFromXML(const std::string& xml);
    // The declaration followed by the XML text of `node`, as 8-bit text.
    static std::string Declared(const TXMLNodeBase& node);

    TXMLKvXmlRpcType FRoot{QDomElement()};

private:
    QDomDocument FDocument;
};

class TKvXmlRpcCall : public TKvXmlRpcBase {
public:
    using TKvXmlRpcBase::TKvXmlRpcBase;
    // The declaration and the methodCall element; "MethodName is not defined." for a
    // call without a method name.
    std::string GetXML() override;
};

class TKvXmlRpcResponse : public TKvXmlRpcBase {
public:
    using TKvXmlRpcBase::TKvXmlRpcBase;
    TXMLMethodResponseType MethodResponse() { return FRoot.MethodResponse(); }
    // The declaration and the methodResponse element.
    std::string GetXML() override;
    // Discards the whole message and makes it a fault with faultCode and faultString.
    void SetFault(std::int32_t code, const std::string& text);
};
