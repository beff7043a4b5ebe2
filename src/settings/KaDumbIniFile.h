#pragma once
// A minimal settings file: key=value lines read into memory at once, read and changed there, and
// written back at once. No sections, no comments, no typed storage.
//
// The file is UTF-8 text, as the system's 8-bit code page is. Each line is decoded on its own: a line
// that is not valid UTF-8 (written as Latin-1 by an older version or another tool) is read as Latin-1,
// the others as UTF-8; the next save writes every line as UTF-8.
#include <QString>
#include <QStringList>

class TKaDumbIniFileMgr {
public:
    // Keeps the name and starts with no lines; touches no file.
    explicit TKaDumbIniFileMgr(const QString& fileName);

    // Replaces the lines with those of the file. CR LF, a lone CR and a lone LF each end a line. A file
    // that is missing or cannot be read leaves no lines; nothing is reported.
    void Load();

    // Drops blank lines, sorts the rest by the locale-aware, case-insensitive comparison of whole
    // lines and writes them, each ended by CR LF. The new file is written beside the old one and then
    // renamed over it, so a failed save leaves the old file as it was; it is readable and writable by
    // its owner only, since it holds passwords in clear. Where the folder takes no new file but the
    // file itself may be written, the file is rewritten in place instead, and a failure there (a full
    // disk, the file size limit) puts the old content back. A failure is shown as
    // "Error: " and the platform's text; the lines stay in memory, sorted.
    void Save();

    // The value of the first line whose key (the text before its first "=") matches key by the
    // locale-aware, case-insensitive comparison; else defaultValue. Nothing is trimmed.
    QString ReadString(const QString& key, const QString& defaultValue) const;
    // The value as a decimal or hexadecimal ("$", "x", "X", "0x", "0X") 32-bit integer after optional
    // leading blanks and sign, else defaultValue; then limited to maximum, then to minimum.
    int ReadInteger(const QString& key, int minimum, int maximum, int defaultValue) const;
    // True exactly when the value (or the default's "T"/"F") starts with "T" or "t".
    bool ReadBool(const QString& key, bool defaultValue) const;

    // Replaces the first line whose key matches by key=value, in its place; else appends it.
    void WriteString(const QString& key, const QString& value);
    void WriteInteger(const QString& key, int value);
    void WriteBool(const QString& key, bool value);

    // Removes every line that starts with prefix, ignoring the case of the letters A to Z.
    void DeleteKeysWithPrefix(const QString& prefix);

    const QString& FileName() const { return FFileName; }
    const QStringList& Lines() const { return FLines; }

private:
    qsizetype IndexOfKey(const QString& key) const;
    void WriteLines() const;

    QString FFileName;
    QStringList FLines;
};
