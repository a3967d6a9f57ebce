#include "mime/TypeText.h"

#include <QFile>
#include <QHash>
#include <QMimeDatabase>
#include <QMimeType>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <mutex>

namespace kv {
namespace {

struct Comments {
    QString french;
    QString english;  // the comment without a language
};

// The comments of a type from its own file of the database
// (<data folder>/mime/<media>/<subtype>.xml), the first folder that has one.
Comments readComments(const QString& typeName) {
    Comments found;
    const QStringList files =
        QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                  QStringLiteral("mime/") + typeName + QStringLiteral(".xml"));
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) continue;
        QXmlStreamReader xml(&file);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"comment")
                continue;
            const QString lang = xml.attributes().value(QLatin1String("xml:lang")).toString();
            const QString text = xml.readElementText().trimmed();
            if (lang.isEmpty() && found.english.isEmpty())
                found.english = text;
            else if ((lang == u"fr" || lang == u"fr_FR") && found.french.isEmpty())
                found.french = text;
        }
        if (!found.french.isEmpty() || !found.english.isEmpty()) break;
    }
    return found;
}

}  // namespace

QString TypeTextOfMime(const QMimeType& type) {
    if (!type.isValid()) return {};
    // Folder lists ask for the same few types again and again.
    static std::mutex mutex;
    static QHash<QString, QString> byType;
    std::lock_guard lock(mutex);
    if (auto it = byType.constFind(type.name()); it != byType.constEnd()) return *it;
    const Comments comments = readComments(type.name());
    QString text = !comments.french.isEmpty()    ? comments.french
                   : !comments.english.isEmpty() ? comments.english
                                                 : type.comment();
    byType.insert(type.name(), text);
    return text;
}

std::string TypeTextOf(const std::string& path) {
    static const QMimeDatabase database;
    const QString name = QString::fromStdString(path.substr(path.find_last_of('\\') + 1));
    return TypeTextOfMime(database.mimeTypeForFile(name, QMimeDatabase::MatchExtension))
        .toStdString();
}

}  // namespace kv
