#include "controls/DesktopShares.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

namespace kv {
namespace {

QString withoutFinalSlash(QString path) {
    while (path.size() > 1 && path.endsWith(u'/')) path.chop(1);
    return path;
}

}  // namespace

QSet<QString> DesktopShares::parsePaths(const QString& text) {
    QSet<QString> paths;
    const QStringList lines =
        text.split(QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts);
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (!line.startsWith(QStringLiteral("path="), Qt::CaseInsensitive)) continue;
        const QString path = line.mid(5).trimmed();
        if (!path.isEmpty()) paths.insert(withoutFinalSlash(path));
    }
    return paths;
}

DesktopShares::DesktopShares(const QString& usershareFolder) {
    const QFileInfo info(usershareFolder);
    if (!info.isDir()) return;
    if (info.isReadable() && info.isExecutable()) {
        const QDir dir(usershareFolder);
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                paths_ += parsePaths(QString::fromUtf8(file.readAll()));
        }
        return;
    }
    QProcess net;
    net.start(QStringLiteral("net"), {QStringLiteral("usershare"), QStringLiteral("info")});
    if (!net.waitForStarted(1000)) return;
    if (!net.waitForFinished(3000)) {
        net.kill();
        net.waitForFinished(1000);
        return;
    }
    paths_ = parsePaths(QString::fromUtf8(net.readAllStandardOutput()));
}

bool DesktopShares::isShared(const QString& hostFolder) const {
    return paths_.contains(withoutFinalSlash(hostFolder));
}

}  // namespace kv
