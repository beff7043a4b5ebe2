#pragma once
// The version block of an executable: read once at construction, seven of its string values kept.
#include "win/Locale.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class TExeVerInfo {
public:
    // The language whose string table is looked up first; the system's default language unless a
    // test supplies another.
    using LanguageProvider = std::function<win::LANGID()>;

    // Reads the running executable.
    TExeVerInfo();
    // Reads the executable exeName.
    explicit TExeVerInfo(const QString& exeName, LanguageProvider language = &win::GetSystemDefaultLangID);

    TExeVerInfo(const TExeVerInfo&) = delete;
    TExeVerInfo& operator=(const TExeVerInfo&) = delete;
    ~TExeVerInfo();

    QString ExeName;  // full path of the executable
    QString BaseName; // its file name up to, not including, the first "."

private:
    std::uint32_t FHandle = 0;       // handle word of the size query; not used afterwards
    std::uint32_t FSize = 0;         // size of the version block, 0 when there is none
    std::unique_ptr<char[]> FBuffer; // the block while it is being read
    void* FValuePtr = nullptr;       // the last value found by a query
    std::uint32_t FValueLen = 0;     // its length, 0 when empty

public:
    QString CompanyName;
    QString FileDescription;
    QString FileVersion;
    QString LegalCopyright;
    QString OriginalFilename;
    QString ProductName;
    QString Comments;

private:
    void ReadVersionInfo();
    QString QueryValue(const QString& key);
    bool HasStringTable(const QString& translation);
    QString FirstListedTranslation();

    LanguageProvider FLanguage;
};

// The process-wide instance for the running executable, created on first use and never freed. The
// application calls it before creating any window.
const TExeVerInfo& ExeVerInfo();
