#include "gui/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFileInfo>
#include <QVariantMap>

namespace kv {

namespace {

// Urgency levels of the notification protocol.
constexpr uchar NormalUrgency = 1;
constexpr uchar CriticalUrgency = 2;

// The body as markup: only the three characters the markup gives a meaning.
QString escapedMarkup(QString text) {
    return text.replace(u'&', QStringLiteral("&amp;"))
        .replace(u'<', QStringLiteral("&lt;"))
        .replace(u'>', QStringLiteral("&gt;"));
}

QDBusMessage call(const QString& method) {
    return QDBusMessage::createMethodCall(QLatin1String(DesktopNotification::Service),
                                          QLatin1String(DesktopNotification::Path),
                                          QLatin1String(DesktopNotification::Service), method);
}

// A session bus this process may reach without starting one: the address the
// session gives, or the user's bus socket. Without either (cron, a console),
// asking the library for the session bus could make it launch a bus of its own.
bool sessionBusExists() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/bus")).exists();
}

}  // namespace

unsigned DesktopNotification::send() const {
    if (!sessionBusExists()) return 0;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return 0;
    // Asked first, so that a desktop without the service costs no waiting
    // (and starts nothing: the service is not activated for this).
    QDBusConnectionInterface* names = bus.interface();
    if (!names || !names->isServiceRegistered(QLatin1String(Service)).value()) return 0;

    const QDBusMessage capabilities =
        bus.call(call(QStringLiteral("GetCapabilities")), QDBus::Block, timeoutMs);
    const bool markup =
        capabilities.type() == QDBusMessage::ReplyMessage && !capabilities.arguments().isEmpty() &&
        capabilities.arguments().first().toStringList().contains(QStringLiteral("body-markup"));

    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue(urgent ? CriticalUrgency : NormalUrgency));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("korvelt"));
    hints.insert(QStringLiteral("category"),
                 urgent ? QStringLiteral("transfer.error") : QStringLiteral("transfer.complete"));
    if (urgent) hints.insert(QStringLiteral("resident"), true);

    QDBusMessage notify = call(QStringLiteral("Notify"));
    notify << QStringLiteral("Korvelt") << 0u << QStringLiteral("korvelt") << summary
           << (markup ? escapedMarkup(body) : body) << QStringList()
           << hints
           // -1: the service's own delay; 0: never expires.
           << (urgent ? 0 : -1);
    const QDBusMessage reply = bus.call(notify, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return 0;
    return reply.arguments().first().toUInt();
}

}  // namespace kv
