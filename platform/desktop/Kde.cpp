// KDE Plasma (5 and 6) takes the wallpaper through a desktop script that the shell runs over
// D-Bus. The shell refuses scripts while the widgets are locked, and reports script errors
// the same way: both come back as a D-Bus error. Plasma keeps a desktop for each screen (and
// each activity), so several monitors are told their own pictures in one script.

#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/Uri.h"
#include "platform/desktop/Backends.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QString>

#include <vector>

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

// The lines that give the desktop `d` of a script the image plugin showing `image` (a script
// expression) with the fill mode.
std::string ShowOnDesktop(const std::string& indent, const std::string& image, int fillMode)
{
    return indent + "d.wallpaperPlugin = \"org.kde.image\";\n" + indent +
           "d.currentConfigGroup = Array(\"Wallpaper\", \"org.kde.image\", \"General\");\n" +
           indent + "d.writeConfig(\"Image\", " + image + ");\n" + indent +
           "d.writeConfig(\"FillMode\", " + std::to_string(fillMode) + ");\n";
}

std::string DesktopsScript(const std::string& file, TWallpaperStyle style)
{
    return "var all = desktops();\n"
           "for (var i = 0; i < all.length; i++) {\n"
           "    var d = all[i];\n" +
           ShowOnDesktop("    ", ScriptString(FileUri(file)), FillMode(style)) + "}\n";
}

// The monitors of a change for a script: each one's place, size and picture.
std::string MonitorList(const std::vector<TMonitorPicture>& pictures)
{
    std::string list = "var monitors = [\n";
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const TMonitor& monitor = pictures[i].Monitor;
        list += "    {x: " + std::to_string(monitor.X) + ", y: " + std::to_string(monitor.Y) +
                ", width: " + std::to_string(monitor.Width) +
                ", height: " + std::to_string(monitor.Height) +
                ", image: " + ScriptString(FileUri(pictures[i].File)) + "}" +
                (i + 1 < pictures.size() ? ",\n" : "\n");
    }
    return list + "];\n";
}

// Plasma numbers its screens in an order of its own, so each desktop finds its monitor by the
// place and size of its screen. A desktop on no screen, or on one that is no monitor of the
// change, keeps what it shows; a change that reached no desktop at all fails the script, which
// the shell reports as an error. Each bitmap has its monitor's size already, so stretching
// shows it pixel for pixel.
std::string MonitorsScript(const std::vector<TMonitorPicture>& pictures)
{
    return MonitorList(pictures) +
           "var shown = 0;\n"
           "var all = desktops();\n"
           "for (var i = 0; i < all.length; i++) {\n"
           "    var d = all[i];\n"
           "    if (d.screen < 0)\n"
           "        continue;\n"
           "    var g = screenGeometry(d.screen);\n"
           "    for (var j = 0; j < monitors.length; j++) {\n"
           "        var m = monitors[j];\n"
           "        if (g.x == m.x && g.y == m.y && g.width == m.width && "
           "g.height == m.height) {\n" +
           ShowOnDesktop("            ", "m.image", FillMode(wsStretch)) +
           "            shown++;\n"
           "            break;\n"
           "        }\n"
           "    }\n"
           "}\n"
           "if (shown == 0)\n"
           "    throw new Error(\"no screen has the place and size of a monitor\");\n";
}

// Runs the script in the shell.
TPlatformStatus Evaluate(const std::string& script)
{
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

class TKdeBackend : public IDesktopBackend {
public:
    TDesktopKind Kind() const override { return dkKde; }

    TPlatformStatus Apply(const std::string& file, TWallpaperStyle style) override
    {
        return Evaluate(DesktopsScript(file, style));
    }

    TPlatformStatus ApplyMonitors(const std::vector<TMonitorPicture>& pictures,
                                  const std::string& layoutFile) override
    {
        // One monitor's picture goes to every desktop, as it always did.
        if (pictures.size() < 2)
            return IDesktopBackend::ApplyMonitors(pictures, layoutFile);
        return Evaluate(MonitorsScript(pictures));
    }
};

} // namespace

std::unique_ptr<IDesktopBackend> CreateKdeBackend()
{
    return std::make_unique<TKdeBackend>();
}

} // namespace scenaria
