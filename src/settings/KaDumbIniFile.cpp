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
#include <fcntl.h>
#include <optional>
#include <stdexcept>
#include <sys/resource.h>
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

// The file's lines, each decoded on its own: a line that is valid UTF-8 is UTF-8, any other was
// written in an 8-bit code page and is read as Latin-1, every byte one character. So one stray byte
// changes one line, not the whole file. A leading byte-order mark is dropped. CR LF, a lone CR and a
// lone LF each end a line.
QStringList decodeLines(QByteArrayView bytes) {
    if (bytes.startsWith("\xef\xbb\xbf")) bytes = bytes.sliced(3);
    QStringList lines;
    const auto add = [&lines](QByteArrayView line) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8(line);
        lines << (utf8.hasError() ? QString::fromLatin1(line) : text);
    };
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') continue;
        add(bytes.sliced(start, i - start));
        if (bytes[i] == '\r' && i + 1 < n && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < n) add(bytes.sliced(start));
    return lines;
}

// The folder of fileName exists but this user may not create files in it.
bool folderTakesNoNewFile(const QString& fileName) {
    const QByteArray folder = QFile::encodeName(QFileInfo(fileName).absolutePath());
    return ::access(folder.constData(), F_OK) == 0 && ::access(folder.constData(), W_OK | X_OK) != 0;
}

[[noreturn]] void failWith(int error) {
    throw std::runtime_error(qt_error_string(error).toStdString());
}

// Writes all of bytes at offset 0 of fd; false with errno set when a write fails.
bool writeAll(int fd, QByteArrayView bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, static_cast<std::size_t>(bytes.size() - done), done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

// Rewrites the file in place, which is not atomic, so the old content is kept in memory and every
// failure leaves the file as it was: the new content must fit the file size limit, the room a longer
// file needs is reserved before anything is overwritten, and a write that fails after all puts the old
// content and length back.
void rewriteInPlace(const QString& fileName, const QByteArray& bytes) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        throw std::runtime_error(file.errorString().toStdString());
    const int fd = file.handle();
    QByteArray old;
    for (char buffer[65536];;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, old.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failWith(errno);
        if (n == 0) break;
        old.append(buffer, n);
    }
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(bytes.size()) > limit.rlim_cur)
        failWith(EFBIG);
    if (bytes.size() > old.size()) {
        const int error = ::posix_fallocate(fd, old.size(), bytes.size() - old.size());
        if (error != 0 && error != EOPNOTSUPP && error != EINVAL) {
            (void)::ftruncate(fd, old.size()); // gives back what was reserved
            failWith(error);
        }
    }
    // Made private when it is ours; a file another user owns keeps the mode its owner gave it.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (writeAll(fd, bytes) && ::ftruncate(fd, bytes.size()) == 0 && ::fsync(fd) == 0) return;
    const int error = errno;
    if (writeAll(fd, old)) (void)::ftruncate(fd, old.size());
    failWith(error);
}

} // namespace

TKaDumbIniFileMgr::TKaDumbIniFileMgr(const QString& fileName) : FFileName(fileName) {}

void TKaDumbIniFileMgr::Load() {
    FLines.clear();
    QFile file(FFileName);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return;
    FLines = decodeLines(bytes);
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
        rewriteInPlace(FFileName, bytes);
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
