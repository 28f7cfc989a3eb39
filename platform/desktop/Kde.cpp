// KDE Plasma (5 and 6) takes the wallpaper through a desktop script that the shell runs over
// D-Bus. The shell refuses scripts while the widgets are locked, and reports script errors
// the same way: both come back as a D-Bus error.

#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/Uri.h"
#include "platform/desktop/Backends.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QString>

namespace scenaria {
namespace {

// Plasma's image wallpaper fill modes.
int FillMode(TWallpaperStyle style)
{
    switch (style) {
    case wsTile:
        return 3;
    case wsStretch:
        return 0;
    case wsCentre:
        break;
    }
    return 6;
}

// A JavaScript string literal; the URI is already plain ASCII, but nothing is taken on trust.
std::string ScriptString(const std::string& text)
{
    static const char Hex[] = "0123456789abcdef";
    std::string literal = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            literal += '\\';
            literal += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            literal += "\\x";
            literal += Hex[byte >> 4];
            literal += Hex[byte & 15];
        } else {
            literal += c;
        }
    }
    return literal + "\"";
}

// A connection of its own to the session bus named in the environment at the time of the call
// (QDBusConnection::sessionBus() would keep the first address it saw for the whole run).
class TSessionBus {
public:
    TSessionBus()
        : address_(ProcessEnv("DBUS_SESSION_BUS_ADDRESS")),
          name_(QStringLiteral("scenaria-plasma-%1").arg(++count_)),
          bus_(address_.empty()
                   ? QDBusConnection::sessionBus()
                   : QDBusConnection::connectToBus(QString::fromStdString(address_), name_))
    {
    }
    ~TSessionBus()
    {
        if (!address_.empty())
            QDBusConnection::disconnectFromBus(name_);
    }
    TSessionBus(const TSessionBus&) = delete;
    TSessionBus& operator=(const TSessionBus&) = delete;
    QDBusConnection& Get() { return bus_; }

private:
    static inline int count_ = 0;
    std::string address_;
    QString name_;
    QDBusConnection bus_;
};

class TKdeBackend : public IDesktopBackend {
public:
    TDesktopKind Kind() const override { return dkKde; }

    TPlatformStatus Apply(const std::string& file, TWallpaperStyle style) override
    {
        const std::string script = "var all = desktops();\n"
                                   "for (var i = 0; i < all.length; i++) {\n"
                                   "    var d = all[i];\n"
                                   "    d.wallpaperPlugin = \"org.kde.image\";\n"
                                   "    d.currentConfigGroup = Array(\"Wallpaper\", "
                                   "\"org.kde.image\", \"General\");\n"
                                   "    d.writeConfig(\"Image\", " +
                                   ScriptString(FileUri(file)) +
                                   ");\n"
                                   "    d.writeConfig(\"FillMode\", " +
                                   std::to_string(FillMode(style)) +
                                   ");\n"
                                   "}\n";
        TSessionBus session;
        QDBusConnection& bus = session.Get();
        if (!bus.isConnected())
            return TPlatformStatus::Failure("KDE Plasma: no D-Bus session bus: " +
                                            bus.lastError().message().toStdString());
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
            QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
        call << QString::fromStdString(script);
        // The shell runs the script on its own thread of work; a shell that has not answered
        // within the budget of every desktop call (see DesktopCallBudgetMs) has hung. The
        // connection itself is a local socket, which the bus daemon accepts at once.
        const QDBusMessage reply = bus.call(call, QDBus::Block, DesktopCallBudgetMs);
        if (reply.type() == QDBusMessage::ErrorMessage) {
            std::string message = reply.errorMessage().simplified().toStdString();
            if (message.empty())
                message = reply.errorName().toStdString();
            return TPlatformStatus::Failure("KDE Plasma refused the wallpaper: " + message);
        }
        if (reply.type() != QDBusMessage::ReplyMessage)
            return TPlatformStatus::Failure("KDE Plasma: no answer from the shell");
        return TPlatformStatus::Success();
    }
};

} // namespace

std::unique_ptr<IDesktopBackend> CreateKdeBackend()
{
    return std::make_unique<TKdeBackend>();
}

} // namespace scenaria
