// A StatusNotifierWatcher with a host, the part of a notification area that KDE Plasma and the
// AppIndicator hosts share, on whatever session bus the environment names. For each item that
// registers it reads the item's icon the way a host does and reports it: one line on stdout,
// "item <IconName or -> <width>x<height>" for the largest IconPixmap ("0x0" for none), and that
// pixmap written as a PAM file (RGB_ALPHA) to the file named by its first argument. Prints
// "ready" once it owns its name.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <cstdio>

namespace {

class TWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ IsStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ RegisteredStatusNotifierItems)

public:
    explicit TWatcher(QString pixmapFile) : pixmapFile_(std::move(pixmapFile)) {}

    bool IsStatusNotifierHostRegistered() const { return true; }
    int ProtocolVersion() const { return 0; }
    QStringList RegisteredStatusNotifierItems() const { return items_; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& serviceOrPath)
    {
        // Items name either their bus name or, as some libraries do, only their object path.
        QString service = serviceOrPath;
        QString path = QStringLiteral("/StatusNotifierItem");
        if (serviceOrPath.startsWith(QLatin1Char('/'))) {
            service = message().service();
            path = serviceOrPath;
        }
        items_ << service + path;
        emit StatusNotifierItemRegistered(service + path);
        // Asked after the registration has been answered: the item may be waiting for that.
        QTimer::singleShot(0, this, [this, service, path] { ReadIcon(service, path); });
    }
    void RegisterStatusNotifierHost(const QString&) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

private:
    void ReadIcon(const QString& service, const QString& path)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("GetAll"));
        call << QStringLiteral("org.kde.StatusNotifierItem");
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            std::printf("error %s\n", qPrintable(reply.errorMessage()));
            std::fflush(stdout);
            return;
        }
        QVariantMap properties;
        reply.arguments().at(0).value<QDBusArgument>() >> properties;
        QString name = properties.value(QStringLiteral("IconName")).toString();
        if (name.isEmpty())
            name = QStringLiteral("-");

        int width = 0, height = 0;
        QByteArray argb;
        const QDBusArgument pixmaps =
            properties.value(QStringLiteral("IconPixmap")).value<QDBusArgument>();
        pixmaps.beginArray();
        while (!pixmaps.atEnd()) {
            int w = 0, h = 0;
            QByteArray data;
            pixmaps.beginStructure();
            pixmaps >> w >> h >> data;
            pixmaps.endStructure();
            if (w > 0 && h > 0 && data.size() == qsizetype(w) * h * 4 && w * h > width * height) {
                width = w;
                height = h;
                argb = data;
            }
        }
        pixmaps.endArray();

        if (width > 0) {
            // The item sends each pixel as alpha, red, green, blue (network byte order).
            QByteArray pam = QStringLiteral("P7\nWIDTH %1\nHEIGHT %2\nDEPTH 4\nMAXVAL 255\n"
                                            "TUPLTYPE RGB_ALPHA\nENDHDR\n")
                                 .arg(width)
                                 .arg(height)
                                 .toLatin1();
            for (qsizetype i = 0; i + 3 < argb.size(); i += 4)
                pam.append(argb.at(i + 1))
                    .append(argb.at(i + 2))
                    .append(argb.at(i + 3))
                    .append(argb.at(i));
            QFile file(pixmapFile_);
            if (file.open(QIODevice::WriteOnly))
                file.write(pam);
        }
        std::printf("item %s %dx%d\n", qPrintable(name), width, height);
        std::fflush(stdout);
    }

    QString pixmapFile_;
    QStringList items_;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2)
        return 2;
    TWatcher watcher(arguments.at(1));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}

#include "StatusNotifierWatcher.moc"
