#include "controls/SystemImages.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

#include "mime/TypeText.h"

namespace kv {
namespace {

QMimeDatabase& mimeDatabase() {
    static QMimeDatabase db;
    return db;
}

bool isDriveRoot(const QString& path) {
    return path.size() == 3 && path[1] == u':' && path[2] == u'\\' && path[0].isLetter();
}

QString nameOf(const QString& path) {
    QString p = path;
    if (p.endsWith(u'\\')) p.chop(1);
    return p.mid(p.lastIndexOf(u'\\') + 1);
}

// The shared-folder mark: a small open hand drawn under the icon's corner.
QPixmap shareEmblem(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(250, 220, 170));
    QPainterPath hand;
    const double s = size;
    hand.moveTo(0.05 * s, 0.55 * s);
    hand.lineTo(0.55 * s, 0.55 * s);
    hand.quadTo(0.95 * s, 0.55 * s, 0.95 * s, 0.78 * s);
    hand.quadTo(0.95 * s, 0.98 * s, 0.55 * s, 0.98 * s);
    hand.lineTo(0.05 * s, 0.98 * s);
    hand.closeSubpath();
    p.drawPath(hand);
    p.setBrush(QColor(30, 90, 200));
    p.drawRect(QRectF(0.0, 0.62 * s, 0.18 * s, 0.36 * s));
    return pm;
}

}  // namespace

SystemImages& SystemImages::shared() {
    static SystemImages images;
    return images;
}

SystemImages::SystemImages() {
    // Without a desktop theme of its own (no desktop session), take the
    // freedesktop icons that are installed rather than Qt's few generic ones.
    if (QIcon::fromTheme(QStringLiteral("folder")).isNull())
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    closedFolder_ =
        themed(QStringLiteral("folder"), {QStringLiteral("folder")}, QStyle::SP_DirClosedIcon);
    openFolder_ = themed(QStringLiteral("folder-open"), {QStringLiteral("folder-open")},
                         QStyle::SP_DirOpenIcon);
}

int SystemImages::add(const QString& key, const QIcon& icon) {
    const int index = static_cast<int>(icons_.size());
    icons_.append(icon);
    byKey_.insert(key, index);
    return index;
}

int SystemImages::themed(const QString& key, const QStringList& themeNames, int styleFallback) {
    if (auto it = byKey_.constFind(key); it != byKey_.constEnd()) return *it;
    QIcon icon;
    for (const QString& name : themeNames) {
        if (name.isEmpty()) continue;
        icon = QIcon::fromTheme(name);
        if (!icon.isNull()) break;
    }
    if (icon.isNull() && qApp)
        icon =
            QApplication::style()->standardIcon(static_cast<QStyle::StandardPixmap>(styleFallback));
    return add(key, icon);
}

QIcon SystemImages::icon(int index) const {
    if (index < 0 || index >= icons_.size()) return {};
    return icons_[index];
}

QIcon SystemImages::iconWithOverlay(int index, int overlay) {
    if (overlay != SharedOverlay || index < 0 || index >= icons_.size()) return icon(index);
    const qint64 key = (qint64(index) << 8) | overlay;
    if (auto it = overlaid_.constFind(key); it != overlaid_.constEnd()) return *it;
    QPixmap base = icons_[index].pixmap(IconSize, IconSize);
    if (base.isNull()) {
        base = QPixmap(IconSize, IconSize);
        base.fill(Qt::transparent);
    }
    {
        QPainter p(&base);
        const int e = IconSize * 5 / 8;
        p.drawPixmap(0, IconSize - e, shareEmblem(e));
    }
    QIcon result(base);
    overlaid_.insert(key, result);
    return result;
}

int SystemImages::driveIndex(DriveType type) {
    switch (type) {
        case DriveType::Removable:
            return themed(QStringLiteral("drive:removable"),
                          {QStringLiteral("drive-removable-media")}, QStyle::SP_DriveFDIcon);
        case DriveType::CdRom:
            return themed(QStringLiteral("drive:cdrom"),
                          {QStringLiteral("drive-optical"), QStringLiteral("media-optical")},
                          QStyle::SP_DriveCDIcon);
        case DriveType::Remote:
            return themed(QStringLiteral("drive:remote"),
                          {QStringLiteral("folder-remote"), QStringLiteral("network-server")},
                          QStyle::SP_DriveNetIcon);
        default:
            return themed(QStringLiteral("drive:fixed"), {QStringLiteral("drive-harddisk")},
                          QStyle::SP_DriveHDIcon);
    }
}

int SystemImages::iconIndexFor(const QString& name, uint32_t attributes, bool open) {
    if (attributes != attr::Invalid && (attributes & attr::Directory))
        return open ? openFolder_ : closedFolder_;
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString suffix = dot > 0 ? name.mid(dot + 1) : QString();
    const QString key = QStringLiteral("ext:") + suffix;
    if (auto it = byKey_.constFind(key); it != byKey_.constEnd()) return *it;
    const QMimeType mime = mimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    return themed(key, {mime.iconName(), mime.genericIconName(), QStringLiteral("text-x-generic")},
                  QStyle::SP_FileIcon);
}

int SystemImages::iconIndex(const QString& path, bool open) {
    if (isDriveRoot(path)) return driveIndex(platform().driveType(path.toUpper().toStdString()));
    QString p = path;
    if (p.endsWith(u'\\')) p.chop(1);
    const uint32_t attributes = platform().attributes(p.toStdString());
    return iconIndexFor(nameOf(path), attributes, open);
}

QString SystemImages::typeName(const QString& name, uint32_t attributes) {
    if (attributes != attr::Invalid && (attributes & attr::Directory)) {
        static const QString folder =
            TypeTextOfMime(mimeDatabase().mimeTypeForName(QStringLiteral("inode/directory")));
        return folder;
    }
    // Names with a plain extension share their type text; others (no dot,
    // several dots) are matched whole.
    const qsizetype dot = name.lastIndexOf(u'.');
    const bool plain = dot > 0 && name.indexOf(u'.') == dot;
    static QHash<QString, QString> bySuffix;
    const QString key = plain ? name.mid(dot + 1) : QString();
    if (plain) {
        if (auto it = bySuffix.constFind(key); it != bySuffix.constEnd()) return *it;
    }
    const QMimeType mime = mimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    QString text = TypeTextOfMime(mime);
    if (mime.isDefault()) {
        const QString suffix = QFileInfo(name).suffix();
        if (!suffix.isEmpty()) text = QStringLiteral("Fichier ") + suffix.toUpper();
    }
    if (plain) bySuffix.insert(key, text);
    return text;
}

}  // namespace kv
