#pragma once

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QString>

#include <vector>

#include "Exceptions.h"

// "File contains no version information": the file has no version record, or not one
// that can be read.
class EVersionInfoError : public Exception {
public:
    EVersionInfoError();
};

// The version record an executable carries in its section ".selvane.version": one or more
// language blocks, each its language and code page as eight hexadecimal digits and a NUL,
// then key NUL value NUL pairs, closed by an empty key.
class TVersionInfo {
public:
    // The section that holds the record.
    static constexpr char SectionName[] = ".selvane.version";

    // Reads the record of the executable `fileName`; throws EVersionInfoError when it has
    // none or cannot be read.
    explicit TVersionInfo(const QString& fileName);
    // Parses a record's bytes; throws EVersionInfoError when they hold no language block.
    static TVersionInfo FromRecord(const QByteArray& record);

    // The language blocks' codes, in the record's order.
    QStringList Languages() const;
    // The value of `key` ("ProductName", "ProductVersion", "LegalCopyright"...) in the first
    // language block; empty when that block lacks the key.
    QString Value(const QString& key) const;

private:
    TVersionInfo() = default;

    struct TBlock {
        QString Language;
        QHash<QString, QString> Values;
    };
    std::vector<TBlock> FBlocks;
};
