#include "win/VersionInfo.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* kSelf = "/proc/self/exe";

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

std::vector<char> loadBlock(const char* path) {
    std::uint32_t handle = 77;
    const std::uint32_t size = win::GetFileVersionInfoSizeA(path, &handle);
    EXPECT_EQ(handle, 0u);
    std::vector<char> block(size);
    if (size == 0 || !win::GetFileVersionInfoA(path, 0, size, block.data())) return {};
    return block;
}

// The value text at a string-table path, or "<absent>" when the query fails.
std::string query(const std::vector<char>& block, const char* path, std::uint32_t* lengthOut = nullptr) {
    void* value = nullptr;
    std::uint32_t length = 99;
    if (!win::VerQueryValueA(block.data(), path, &value, &length)) return "<absent>";
    if (lengthOut) *lengthOut = length;
    return static_cast<const char*>(value);
}

// A block built by hand for malformed cases: one translation, the given entries.
QByteArray makeBlock(std::uint32_t translation, const QByteArray& entries, std::uint32_t entryCount) {
    auto u32 = [](QByteArray& out, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    QByteArray block("KLVERBLK", 8);
    u32(block, 1);
    u32(block, 20 + 4 + 8 + static_cast<std::uint32_t>(entries.size()));
    u32(block, 1);
    u32(block, translation);
    u32(block, 8 + static_cast<std::uint32_t>(entries.size()));
    u32(block, entryCount);
    block.append(entries);
    return block;
}

TEST(VersionInfo, ReadsTheBlockEmbeddedInTheExecutable) {
    const std::vector<char> block = loadBlock(kSelf);
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(query(block, "\\StringFileInfo\\040904E4\\CompanyName"), "Test Company");
    EXPECT_EQ(query(block, "\\StringFileInfo\\040904E4\\FileDescription"), "Version reader test");
    std::uint32_t length = 0;
    EXPECT_EQ(query(block, "\\StringFileInfo\\040904E4\\FileVersion", &length), "9.8.7");
    EXPECT_EQ(length, 6u); // characters with the terminator
    // Names are found regardless of letter case, as the platform does.
    EXPECT_EQ(query(block, "\\stringfileinfo\\040904e4\\companyname"), "Test Company");

    // A buffer shorter than the block is refused.
    std::vector<char> shortBuffer(block.size() - 1);
    EXPECT_FALSE(win::GetFileVersionInfoA(kSelf, 0, static_cast<std::uint32_t>(shortBuffer.size()),
                                          shortBuffer.data()));
}

TEST(VersionInfo, MissingKeysTranslationsAndPathsFailAndEmptyValuesHaveLengthZero) {
    const std::vector<char> block = loadBlock(kSelf);
    ASSERT_FALSE(block.empty());
    std::uint32_t length = 99;
    EXPECT_EQ(query(block, "\\StringFileInfo\\040904E4\\Comments", &length), "");
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(query(block, "\\StringFileInfo\\040904E4\\LegalCopyright"), "<absent>");
    EXPECT_EQ(query(block, "\\StringFileInfo\\040704E4\\CompanyName"), "<absent>");
    EXPECT_EQ(query(block, "\\StringFileInfo\\040904E4\\CompanyName\\More"), "<absent>");
    EXPECT_EQ(query(block, "\\"), "<absent>");
    EXPECT_EQ(query(block, "\\Company"), "<absent>");
}

TEST(VersionInfo, FilesWithoutABlockGiveSizeZero) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray self = readFile(QString::fromLatin1(kSelf));
    ASSERT_FALSE(self.isEmpty());
    std::uint32_t handle = 5;

    EXPECT_EQ(win::GetFileVersionInfoSizeA(QFile::encodeName(dir.filePath("missing")).constData(), &handle),
              0u);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(win::GetFileVersionInfoSizeA(nullptr, nullptr), 0u);

    const auto sizeOf = [&](const char* name, const QByteArray& bytes) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(writeFile(path, bytes));
        return win::GetFileVersionInfoSizeA(QFile::encodeName(path).constData(), nullptr);
    };
    EXPECT_EQ(sizeOf("text", "not an executable\n"), 0u);
    EXPECT_EQ(sizeOf("empty", QByteArray()), 0u);

    QByteArray elf32 = self;
    elf32[4] = 1; // ELFCLASS32
    EXPECT_EQ(sizeOf("elf32", elf32), 0u);
    QByteArray bigEndian = self;
    bigEndian[5] = 2; // ELFDATA2MSB
    EXPECT_EQ(sizeOf("bigendian", bigEndian), 0u);
    // The section headers sit at the end of the file.
    EXPECT_EQ(sizeOf("truncated", self.left(self.size() / 2)), 0u);

    // The same executable with its section renamed has no block.
    QByteArray renamed = self;
    // The section name table lies behind the code and data, which may hold the same text.
    const qsizetype name = renamed.lastIndexOf(QByteArray(".kl_version\0", 12));
    ASSERT_GE(name, 0);
    renamed[name + 10] = 'N';
    EXPECT_EQ(sizeOf("renamed", renamed), 0u);
    EXPECT_GT(sizeOf("copy", self), 0u);
}

TEST(VersionInfo, DamagedBlockInTheFileIsRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<char> block = loadBlock(kSelf);
    ASSERT_FALSE(block.empty());
    QByteArray self = readFile(QString::fromLatin1(kSelf));
    const qsizetype at = self.indexOf(QByteArray(block.data(), static_cast<qsizetype>(block.size())));
    ASSERT_GE(at, 0);
    self[at + 15] = static_cast<char>(0x7F); // block size far beyond the section
    const QString path = dir.filePath(QStringLiteral("damaged"));
    ASSERT_TRUE(writeFile(path, self));
    EXPECT_EQ(win::GetFileVersionInfoSizeA(QFile::encodeName(path).constData(), nullptr), 0u);
}

TEST(VersionInfo, MalformedBlocksAnswerNothing) {
    void* value = nullptr;
    std::uint32_t length = 0;
    const char* path = "\\StringFileInfo\\040904E4\\CompanyName";

    const QByteArray good = makeBlock(0x04E40409, QByteArray("CompanyName\0ACME\0", 17), 1);
    ASSERT_TRUE(win::VerQueryValueA(good.constData(), path, &value, &length));
    EXPECT_STREQ(static_cast<const char*>(value), "ACME");

    // The value's terminator is missing: the entry would run past the table.
    const QByteArray unterminated = makeBlock(0x04E40409, QByteArray("CompanyName\0ACME", 16), 1);
    EXPECT_FALSE(win::VerQueryValueA(unterminated.constData(), path, &value, &length));
    // More entries announced than the table holds.
    const QByteArray tooMany = makeBlock(0x04E40409, QByteArray("CompanyName\0ACME\0", 17), 2);
    EXPECT_FALSE(win::VerQueryValueA(tooMany.constData(), path, &value, &length));
    QByteArray badMagic = good;
    badMagic[0] = 'X';
    EXPECT_FALSE(win::VerQueryValueA(badMagic.constData(), path, &value, &length));
    QByteArray tableTooLong = good;
    tableTooLong[24] = static_cast<char>(0x7F);
    EXPECT_FALSE(win::VerQueryValueA(tableTooLong.constData(), path, &value, &length));
}

} // namespace
