// The desktop notification that ends an automatic run, on a session bus of the
// test's own (a private dbus-daemon) where the test serves the freedesktop
// notification interface and keeps what it is sent. The real "Korvelt
// /AUTOSAVE" of the build runs as a child process on that bus.

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>

#include "engine/AutoJournal.h"
#include "gui/DesktopNotification.h"
#include "tests/app/AutomationFixture.h"

namespace kv::test {

// The notification service as the desktop gives it, keeping each notice.
class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    struct Notice {
        QString app, icon, summary, body;
        QVariantMap hints;
        int timeout = -1;
    };
    std::vector<Notice> notices;

  public slots:
    QStringList GetCapabilities() {
        return {QStringLiteral("body"), QStringLiteral("body-markup")};
    }
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int timeout) {
        notices.push_back({app, icon, summary, body, hints, timeout});
        return static_cast<uint>(notices.size());
    }
    void CloseNotification(uint) {}
    QString GetServerInformation(QString& vendor, QString& version, QString& protocol) {
        vendor = QStringLiteral("test");
        version = QStringLiteral("1");
        protocol = QStringLiteral("1.2");
        return QStringLiteral("kv-test");
    }
};

namespace {

class Notification : public AutomationTest {
  protected:
    void SetUp() override {
        AutomationTest::SetUp();
        ASSERT_TRUE(busFolder_.isValid());
        bus_.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address"),
                    QStringLiteral("--address=unix:tmpdir=") + busFolder_.path()});
        ASSERT_TRUE(bus_.waitForStarted()) << "dbus-daemon (Debian package dbus-daemon)";
        ASSERT_TRUE(bus_.waitForReadyRead(10000));
        address_ = QString::fromUtf8(bus_.readLine()).trimmed();
        ASSERT_FALSE(address_.isEmpty());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("kv-notifications"));
        bus_.kill();
        bus_.waitForFinished();
        AutomationTest::TearDown();
    }

    // Serves the notification interface on the private bus.
    void serve() {
        QDBusConnection connection =
            QDBusConnection::connectToBus(address_, QStringLiteral("kv-notifications"));
        ASSERT_TRUE(connection.isConnected());
        ASSERT_TRUE(connection.registerObject(QLatin1String(DesktopNotification::Path), &server,
                                              QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(connection.registerService(QLatin1String(DesktopNotification::Service)));
    }

    // "Korvelt /AUTOSAVE" of the build on the private bus; its exit status.
    int runAutoSave() {
        QProcess korvelt;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        environment.insert(QStringLiteral("KORVELT_DRIVES"),
                           QStringLiteral("C=") + QString::fromStdString(drives.root('C')));
        korvelt.setProcessEnvironment(environment);
        korvelt.start(QString::fromUtf8(std::getenv("KORVELT_BIN")) + QStringLiteral("/Korvelt"),
                      {QStringLiteral("/AUTOSAVE")});
        EXPECT_TRUE(korvelt.waitForStarted());
        // The notices come in while this thread's events run.
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return korvelt.state() == QProcess::NotRunning; }, 60000));
        return korvelt.exitCode();
    }

    NotificationServer server;
    QTemporaryDir busFolder_;
    QProcess bus_;
    QString address_;
};

TEST_F(Notification, ASuccessTellsTheArchiveAndItsCounts) {
    makeArchiveAndScript();
    WriteAutoSaveSettings(AutoSavePath(), AutoSaveSettings{Archive, Script, true, 0, "20:00"});
    serve();
    EXPECT_EQ(runAutoSave(), autoexit::Ok);
    ASSERT_EQ(server.notices.size(), 1u);
    const NotificationServer::Notice& notice = server.notices[0];
    EXPECT_EQ(notice.app, "Korvelt");
    EXPECT_EQ(notice.icon, "korvelt");
    EXPECT_EQ(notice.summary, "Sauvegarde automatique réussie");
    // The archive's two files and the script's new one.
    EXPECT_EQ(notice.body, QString::fromStdString(drives.hostPath(Archive)) +
                               "\n3 fichier(s) archivé(s), 0 repris de l'archive");
    EXPECT_EQ(notice.hints.value("urgency").toInt(), 1);
    EXPECT_EQ(notice.hints.value("desktop-entry").toString(), "korvelt");
    EXPECT_EQ(notice.timeout, -1);
}

TEST_F(Notification, AFailureSaysWhyAndStaysUntilRead) {
    drives.makeFolder("C:\\Korvelt\\Script");
    WriteAutoSaveSettings(AutoSavePath(),
                          AutoSaveSettings{"C:\\Arch\\absente.kvr", Script, true, 0, "20:00"});
    serve();
    EXPECT_EQ(runAutoSave(), autoexit::NoArchive);
    ASSERT_EQ(server.notices.size(), 1u);
    const NotificationServer::Notice& notice = server.notices[0];
    EXPECT_EQ(notice.summary, "Sauvegarde automatique : échec");
    EXPECT_EQ(notice.body, "Archive introuvable.\n" +
                               QString::fromStdString(drives.hostPath("C:\\Arch\\absente.kvr")) +
                               "\nLe journal en dit plus : Options (F9), page Automate.");
    // Critical urgency and no expiry: the desktop keeps it until it is read.
    EXPECT_EQ(notice.hints.value("urgency").toInt(), 2);
    EXPECT_EQ(notice.timeout, 0);
}

TEST_F(Notification, NoServiceOnTheBusStopsNothing) {
    makeArchiveAndScript();
    WriteAutoSaveSettings(AutoSavePath(), AutoSaveSettings{Archive, Script, true, 0, "20:00"});
    // The bus runs but nobody serves notifications.
    EXPECT_EQ(runAutoSave(), autoexit::Ok);
    EXPECT_TRUE(server.notices.empty());
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
}

}  // namespace
}  // namespace kv::test

#include "NotificationTest.moc"
