// A stand-in for Plasma's shell on a private session bus: answers evaluateScript on
// /PlasmaShell as org.kde.plasmashell, writes each script it is given to the file named by its
// first argument (appending, scripts separated by a line "----"), and with "--locked" refuses
// the way the shell does while the widgets are locked. Prints "ready" once it owns its name.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>

#include <cstdio>

namespace {

class TShell : public QDBusVirtualObject {
public:
    TShell(QString log, bool locked) : log_(std::move(log)), locked_(locked) {}

    QString introspect(const QString&) const override
    {
        return QStringLiteral("<interface name=\"org.kde.PlasmaShell\"><method "
                              "name=\"evaluateScript\"><arg type=\"s\" direction=\"in\"/><arg "
                              "type=\"s\" direction=\"out\"/></method></interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != QLatin1String("org.kde.PlasmaShell") ||
            message.member() != QLatin1String("evaluateScript"))
            return false;
        {
            // Closed before the answer goes out: the test reads the log once it has that.
            QFile file(log_);
            if (file.open(QIODevice::Append)) {
                file.write(message.arguments().value(0).toString().toUtf8());
                file.write("\n----\n");
            }
        }
        if (locked_)
            connection.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.Failed"),
                                         QStringLiteral("Widgets are locked")));
        else
            connection.send(message.createReply(QString()));
        return true;
    }

private:
    QString log_;
    bool locked_;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2)
        return 2;
    TShell shell(arguments.at(1), arguments.contains(QStringLiteral("--locked")));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/PlasmaShell"), &shell) ||
        !bus.registerService(QStringLiteral("org.kde.plasmashell")))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}
