#include <gtest/gtest.h>

#include <QCoreApplication>

#include "ProductData.h"
#include "TempFolder.h"
#include "VersionInfo.h"

namespace {

// The bytes of a literal with its NULs, without the closing one.
template <std::size_t N>
QByteArray Record(const char (&text)[N])
{
    return QByteArray(text, static_cast<qsizetype>(N) - 1);
}

TEST(VersionInfo, TheProgramCarriesItsRecord)
{
    const TVersionInfo record(QStringLiteral(SELVANE_EXECUTABLE));
    EXPECT_EQ(record.Languages(), QStringList{QStringLiteral("040904E4")});
    EXPECT_EQ(record.Value(QStringLiteral("ProductName")), QStringLiteral("Selvane"));
    EXPECT_EQ(record.Value(QStringLiteral("ProductVersion")), QStringLiteral(SELVANE_PRODUCT_VERSION));
    EXPECT_EQ(record.Value(QStringLiteral("LegalCopyright")), QStringLiteral(SELVANE_COPYRIGHT));
    EXPECT_EQ(record.Value(QStringLiteral("FileDescription")), QString());
}

TEST(VersionInfo, FilesWithoutARecordFail)
{
    TTempFolder folder;
    const QString files[] = {
        QCoreApplication::applicationFilePath(), // an executable without the section
        QString::fromStdString(folder.Write("plain.txt", "not an executable").string()),
        QString::fromStdString(folder.Write("short.bin", "\x7f" "ELF").string()),
        QString::fromStdString((folder.Path() / "missing").string()),
    };
    for (const QString& file : files) {
        try {
            TVersionInfo record(file);
            ADD_FAILURE() << file.toStdString() << " read";
        } catch (const EVersionInfoError& error) {
            EXPECT_STREQ(error.what(), "File contains no version information");
        }
    }
}

TEST(VersionInfo, ValuesComeFromTheFirstLanguageBlock)
{
    const TVersionInfo record = TVersionInfo::FromRecord(
        Record("04070000\0ProductName\0Erstes\0ProductName\0Doppelt\0\0" "040904E4\0ProductName\0Second\0LegalCopyright\0C\0\0"));
    EXPECT_EQ(record.Languages(), (QStringList{QStringLiteral("04070000"), QStringLiteral("040904E4")}));
    EXPECT_EQ(record.Value(QStringLiteral("ProductName")), QStringLiteral("Erstes"));
    EXPECT_EQ(record.Value(QStringLiteral("LegalCopyright")), QString());
}

TEST(VersionInfo, RecordWithoutABlockFails)
{
    for (const QByteArray& bytes : {QByteArray(), Record("\0\0"), Record("040904E4")})
        EXPECT_THROW(TVersionInfo::FromRecord(bytes), EVersionInfoError);
}

} // namespace
