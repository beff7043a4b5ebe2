#include "util/KaExeVerInfo.h"

#include "util/KaFileUtils.h"
#include "win/VersionInfo.h"

#include <QFile>

#include <cstring>

TExeVerInfo::TExeVerInfo() : TExeVerInfo(RunningExecutablePath()) {}

TExeVerInfo::TExeVerInfo(const QString& exeName, LanguageProvider language)
    : ExeName(exeName), FLanguage(std::move(language)) {
    BaseName = ExeName.mid(ExeName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = BaseName.indexOf(QLatin1Char('.'));
    if (dot >= 0) BaseName.truncate(dot);
    ReadVersionInfo();
}

TExeVerInfo::~TExeVerInfo() = default;

void TExeVerInfo::ReadVersionInfo() {
    const QByteArray path = QFile::encodeName(ExeName);
    FSize = win::GetFileVersionInfoSizeA(path.constData(), &FHandle);
    if (FSize == 0) return;

    FBuffer = std::make_unique<char[]>(FSize);
    // The block is needed only while the values are copied out.
    struct FreeBuffer {
        TExeVerInfo& self;
        ~FreeBuffer() {
            self.FBuffer.reset();
            self.FValuePtr = nullptr; // it pointed into the buffer
        }
    } freeBuffer{*this};

    if (!win::GetFileVersionInfoA(path.constData(), 0, FSize, FBuffer.get())) return;
    CompanyName = QueryValue(QStringLiteral("CompanyName"));
    FileDescription = QueryValue(QStringLiteral("FileDescription"));
    FileVersion = QueryValue(QStringLiteral("FileVersion"));
    LegalCopyright = QueryValue(QStringLiteral("LegalCopyright"));
    OriginalFilename = QueryValue(QStringLiteral("OriginalFilename"));
    ProductName = QueryValue(QStringLiteral("ProductName"));
    Comments = QueryValue(QStringLiteral("Comments"));
}

bool TExeVerInfo::HasStringTable(const QString& translation) {
    void* table = nullptr;
    std::uint32_t length = 0;
    const QByteArray path = QStringLiteral("\\StringFileInfo\\%1").arg(translation).toLatin1();
    return win::VerQueryValueA(FBuffer.get(), path.constData(), &table, &length);
}

QString TExeVerInfo::FirstListedTranslation() {
    void* list = nullptr;
    std::uint32_t length = 0;
    if (!win::VerQueryValueA(FBuffer.get(), "\\VarFileInfo\\Translation", &list, &length) || length < 4)
        return {};
    // Language in the low word, code page in the high word.
    unsigned char bytes[4];
    std::memcpy(bytes, list, 4);
    const unsigned language = bytes[0] | (bytes[1] << 8);
    const unsigned codePage = bytes[2] | (bytes[3] << 8);
    return QString::asprintf("%.4X%.4X", language, codePage);
}

QString TExeVerInfo::QueryValue(const QString& key) {
    // The system's language in code page 1252. When the block has no table for it, the first
    // translation the block lists is used instead, so that a block written for one language still
    // answers on systems set to another.
    QString translation =
        QString::asprintf("%.4X", static_cast<unsigned>(FLanguage())) + QStringLiteral("04E4");
    if (!HasStringTable(translation)) {
        const QString listed = FirstListedTranslation();
        if (!listed.isEmpty()) translation = listed;
    }

    const QByteArray path = QStringLiteral("\\StringFileInfo\\%1\\%2").arg(translation, key).toLatin1();
    if (win::VerQueryValueA(FBuffer.get(), path.constData(), &FValuePtr, &FValueLen) && FValueLen > 0)
        return QString::fromLatin1(static_cast<const char*>(FValuePtr));
    return {};
}

const TExeVerInfo& ExeVerInfo() {
    static const TExeVerInfo* const instance = new TExeVerInfo();
    return *instance;
}
