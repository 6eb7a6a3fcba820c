#include "DocumentText.h"

#include "CodePage.h"

QString FromDocumentText(std::string_view text)
{
    const std::u16string wide = Cp1252ToUtf16(text);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

bool ToDocumentText(const QString& text, std::string& out)
{
    return Utf16ToCp1252(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())), out);
}
