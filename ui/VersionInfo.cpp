#include "VersionInfo.h"

#include <elf.h>

#include <cstring>
#include <optional>

#include <QFile>

namespace {

// Sections larger than this are no version record, and names no section table holds.
constexpr qint64 MaxRecordSize = 64 * 1024;
constexpr qint64 MaxNamesSize = 1024 * 1024;

bool ReadAt(QFile& file, qint64 offset, void* data, qint64 size)
{
    return offset >= 0 && size >= 0 && offset <= file.size() && size <= file.size() - offset && file.seek(offset) &&
           file.read(static_cast<char*>(data), size) == size;
}

std::optional<QByteArray> ReadBytes(QFile& file, qint64 offset, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    if (!ReadAt(file, offset, bytes.data(), size))
        return std::nullopt;
    return bytes;
}

// The contents of the section named `name` in an ELF file of the class of Ehdr and Shdr.
template <class Ehdr, class Shdr>
std::optional<QByteArray> FindSection(QFile& file, const char* name)
{
    Ehdr header;
    if (!ReadAt(file, 0, &header, sizeof header) || header.e_shentsize != sizeof(Shdr) || header.e_shnum == 0 ||
        header.e_shstrndx >= header.e_shnum)
        return std::nullopt;
    std::vector<Shdr> sections(header.e_shnum);
    if (!ReadAt(file, static_cast<qint64>(header.e_shoff), sections.data(), static_cast<qint64>(sections.size() * sizeof(Shdr))))
        return std::nullopt;
    const Shdr& namesSection = sections[header.e_shstrndx];
    if (namesSection.sh_size > MaxNamesSize)
        return std::nullopt;
    const std::optional<QByteArray> names =
        ReadBytes(file, static_cast<qint64>(namesSection.sh_offset), static_cast<qint64>(namesSection.sh_size));
    if (!names)
        return std::nullopt;
    const QByteArray wanted(name, static_cast<qsizetype>(std::strlen(name)) + 1);
    for (const Shdr& section : sections) {
        if (section.sh_type == SHT_NOBITS || section.sh_name >= static_cast<std::size_t>(names->size()) ||
            names->mid(section.sh_name, wanted.size()) != wanted)
            continue;
        if (section.sh_size > MaxRecordSize)
            return std::nullopt;
        return ReadBytes(file, static_cast<qint64>(section.sh_offset), static_cast<qint64>(section.sh_size));
    }
    return std::nullopt;
}

std::optional<QByteArray> ReadRecord(const QString& fileName)
{
    QFile file(fileName);
    unsigned char ident[EI_NIDENT];
    if (!file.open(QIODevice::ReadOnly) || !ReadAt(file, 0, ident, sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0)
        return std::nullopt;
    // Only files of this machine's byte order are read; any other has no record for us.
    const bool native = ident[EI_DATA] == (Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? ELFDATA2LSB : ELFDATA2MSB);
    if (!native)
        return std::nullopt;
    if (ident[EI_CLASS] == ELFCLASS64)
        return FindSection<Elf64_Ehdr, Elf64_Shdr>(file, TVersionInfo::SectionName);
    if (ident[EI_CLASS] == ELFCLASS32)
        return FindSection<Elf32_Ehdr, Elf32_Shdr>(file, TVersionInfo::SectionName);
    return std::nullopt;
}

} // namespace

EVersionInfoError::EVersionInfoError() : Exception("File contains no version information") {}

TVersionInfo::TVersionInfo(const QString& fileName)
{
    const std::optional<QByteArray> record = ReadRecord(fileName);
    if (!record)
        throw EVersionInfoError();
    *this = FromRecord(*record);
}

TVersionInfo TVersionInfo::FromRecord(const QByteArray& record)
{
    // The record is a list of NUL-terminated strings; bytes after the last NUL belong to no
    // string.
    QList<QByteArray> strings = record.split('\0');
    strings.removeLast();
    TVersionInfo info;
    qsizetype at = 0;
    while (at < strings.size()) {
        const QByteArray& language = strings[at++];
        if (language.isEmpty())
            continue;
        TBlock block{QString::fromLatin1(language), {}};
        while (at < strings.size() && !strings[at].isEmpty()) {
            const QString key = QString::fromUtf8(strings[at++]);
            const QString value = at < strings.size() ? QString::fromUtf8(strings[at++]) : QString();
            // The first value of a key counts, as the language block's lookup finds it.
            if (!block.Values.contains(key))
                block.Values.insert(key, value);
        }
        ++at;
        info.FBlocks.push_back(std::move(block));
    }
    if (info.FBlocks.empty())
        throw EVersionInfoError();
    return info;
}

QStringList TVersionInfo::Languages() const
{
    QStringList languages;
    for (const TBlock& block : FBlocks)
        languages << block.Language;
    return languages;
}

QString TVersionInfo::Value(const QString& key) const { return FBlocks.front().Values.value(key); }
