#include "util/KaFileUtils.h"

#include <QCoreApplication>
#include <QFileInfo>

QString ChangeFileExt(const QString& fileName, const QString& extension) {
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype stemLength = dot > slash ? dot : fileName.size();
    return fileName.left(stemLength) + extension;
}

QString SettingsFileNameFor(const QString& exePath) {
    return ChangeFileExt(exePath, QStringLiteral(".ini"));
}

QString RunningExecutablePath() {
    const QString target = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (!target.isEmpty()) return target;
    return QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
}
