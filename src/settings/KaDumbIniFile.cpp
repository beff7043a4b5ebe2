#include "settings/KaDumbIniFile.h"

#include "ui/Dialogs.h"
#include "win/Locale.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <unistd.h>

namespace {

// Leading blanks, an optional sign, then decimal digits, or hexadecimal digits after "$", "x", "X",
// "0x" or "0X". Anything else, an empty number and a value outside 32 bits give nothing.
std::optional<std::int32_t> parseInteger(QStringView text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    int base = 10;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == n) return std::nullopt;

    constexpr std::int64_t kLimit = std::int64_t{INT32_MAX} + 1; // magnitude of INT32_MIN
    std::int64_t magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > kLimit) return std::nullopt;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

// Empty, or nothing but blanks and control characters.
bool isBlankLine(const QString& line) {
    return std::all_of(line.cbegin(), line.cend(), [](QChar c) { return c.unicode() <= u' '; });
}

bool startsWithIgnoringAsciiCase(const QString& line, const QString& prefix) {
    if (line.size() < prefix.size()) return false;
    const auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; };
    for (qsizetype i = 0; i < prefix.size(); ++i)
        if (upper(line[i].unicode()) != upper(prefix[i].unicode())) return false;
    return true;
}

// The file's text: UTF-8 (a leading byte-order mark is dropped); a file that is not valid UTF-8 was
// written in an 8-bit code page and is read as Latin-1, every byte one character.
QString decodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes);
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') continue;
        lines << text.mid(start, i - start);
        if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < n) lines << text.mid(start);
    return lines;
}

// The folder of fileName exists but this user may not create files in it.
bool folderTakesNoNewFile(const QString& fileName) {
    const QByteArray folder = QFile::encodeName(QFileInfo(fileName).absolutePath());
    return ::access(folder.constData(), F_OK) == 0 && ::access(folder.constData(), W_OK | X_OK) != 0;
}

} // namespace

TKaDumbIniFileMgr::TKaDumbIniFileMgr(const QString& fileName) : FFileName(fileName) {}

void TKaDumbIniFileMgr::Load() {
    FLines.clear();
    QFile file(FFileName);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return;
    FLines = splitLines(decodeText(bytes));
}

void TKaDumbIniFileMgr::Save() {
    try {
        FLines.removeIf(isBlankLine);
        std::stable_sort(FLines.begin(), FLines.end(),
                         [](const QString& a, const QString& b) { return win::AnsiCompareText(a, b) < 0; });
        WriteLines();
    } catch (const std::exception& e) {
        ui::showMessage(QStringLiteral("Error: ") + QString::fromUtf8(e.what()));
    }
}

void TKaDumbIniFileMgr::WriteLines() const {
    QByteArray bytes;
    for (const QString& line : FLines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }

    const auto fail = [](const QString& text) { throw std::runtime_error(text.toStdString()); };
    // QSaveFile writes a temporary file in the same folder and renames it over the old file only once
    // everything is written; on failure the old file stays as it was. Unbuffered, because a write
    // that fails while the buffer is flushed at commit goes unnoticed and the short file replaces the
    // old one.
    QSaveFile file(FFileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) fail(file.errorString());
        if (file.write(bytes) != bytes.size()) fail(qt_error_string(errno)); // disk full, file too large
        if (!file.commit()) fail(file.errorString());
        return;
    }
    // A folder that takes no new file (an installed program's folder with a per-user settings file in
    // it) leaves only the file itself to write to: it is rewritten in place, which is not atomic.
    if (folderTakesNoNewFile(FFileName) && QFileInfo::exists(FFileName)) {
        QFile inPlace(FFileName);
        if (!inPlace.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            fail(inPlace.errorString());
        // Made private when it is ours; a file another user owns keeps the mode its owner gave it.
        inPlace.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (inPlace.write(bytes) != bytes.size()) fail(qt_error_string(errno));
        return;
    }
    fail(file.errorString());
}

qsizetype TKaDumbIniFileMgr::IndexOfKey(const QString& key) const {
    for (qsizetype i = 0; i < FLines.size(); ++i) {
        const QString& line = FLines.at(i);
        const qsizetype equals = line.indexOf(u'=');
        if (equals >= 0 && win::AnsiCompareText(QStringView(line).left(equals), QStringView(key)) == 0)
            return i;
    }
    return -1;
}

QString TKaDumbIniFileMgr::ReadString(const QString& key, const QString& defaultValue) const {
    const qsizetype index = IndexOfKey(key);
    if (index < 0) return defaultValue;
    const QString& line = FLines.at(index);
    return line.mid(line.indexOf(u'=') + 1);
}

int TKaDumbIniFileMgr::ReadInteger(const QString& key, int minimum, int maximum, int defaultValue) const {
    int value = parseInteger(ReadString(key, QString::number(defaultValue))).value_or(defaultValue);
    if (value > maximum) value = maximum;
    if (value < minimum) value = minimum;
    return value;
}

bool TKaDumbIniFileMgr::ReadBool(const QString& key, bool defaultValue) const {
    const QString text = ReadString(key, defaultValue ? QStringLiteral("T") : QStringLiteral("F"));
    return !text.isEmpty() && (text.front() == u'T' || text.front() == u't');
}

void TKaDumbIniFileMgr::WriteString(const QString& key, const QString& value) {
    QString line = key + u'=' + value;
    const qsizetype index = IndexOfKey(key);
    if (index >= 0)
        FLines[index] = std::move(line);
    else
        FLines.append(std::move(line));
}

void TKaDumbIniFileMgr::WriteInteger(const QString& key, int value) {
    WriteString(key, QString::number(value));
}

void TKaDumbIniFileMgr::WriteBool(const QString& key, bool value) {
    WriteString(key, value ? QStringLiteral("T") : QStringLiteral("F"));
}

void TKaDumbIniFileMgr::DeleteKeysWithPrefix(const QString& prefix) {
    for (qsizetype i = FLines.size() - 1; i >= 0; --i)
        if (startsWithIgnoringAsciiCase(FLines.at(i), prefix)) FLines.removeAt(i);
}
