#include "DocumentText.h"

#include <stdexcept>

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

std::string DocumentTextOf(const QString& text)
{
    std::string out;
    if (ToDocumentText(text, out))
        return out;
    QString refused;
    for (qsizetype i = 0; i < text.size() && refused.isEmpty(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        std::string ignored;
        if (!ToDocumentText(text.mid(i, length), ignored))
            refused = text.mid(i, length);
        i += length - 1;
    }
    throw std::runtime_error(QStringLiteral("The character \"%1\" cannot be stored in the document (Windows-1252 text): %2")
                                 .arg(refused, text)
                                 .toStdString());
}

std::string NameTextOf(const QString& name, bool item)
{
    QString reason;
    if (name.isEmpty()) {
        reason = QStringLiteral("it is empty");
    } else if (item && (name.startsWith(QLatin1Char('!')) || name.startsWith(QLatin1Char('?')))) {
        reason = QStringLiteral("it begins with \"%1\"").arg(name[0]);
    } else {
        for (const QChar c : name) {
            if (c == QLatin1Char(' '))
                reason = QStringLiteral("it holds a blank");
            else if (c == QLatin1Char('\t'))
                reason = QStringLiteral("it holds a tab");
            else if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                reason = QStringLiteral("it holds a line break");
            else if (c.isSpace() || c.unicode() == 0)
                reason = QStringLiteral("it holds the white space U+%1").arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')));
            else if (QStringLiteral("<>/=\"'").contains(c))
                reason = QStringLiteral("it holds \"%1\"").arg(c);
            if (!reason.isEmpty())
                break;
        }
    }
    if (!reason.isEmpty())
        throw std::runtime_error(QStringLiteral("The name \"%1\" cannot be written to the document: %2.").arg(name, reason).toStdString());
    return DocumentTextOf(name);
}
