// A stand-in for Plasma's shell on a private session bus: answers evaluateScript on
// /PlasmaShell as org.kde.plasmashell, writes each script it is given to the file named by its
// first argument (appending, scripts separated by a line "----"), and with "--locked" refuses
// the way the shell does while the widgets are locked. Prints "ready" once it owns its name.
//
// With "--screens WxH+X+Y,..." it also runs each script, under node, against desktops of its
// own: screen n has the n-th geometry, and "--desktops 1,0,-1" puts desktops on screens (-1:
// none; by default one a screen, in order). Only the scripting calls that the backend uses are
// there. What the desktops show is kept in the file named by "--state FILE" from script to
// script: its first line the screens, then one line of JSON a desktop. A script that fails is
// refused with its error, as the shell does.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QProcess>

#include <cstdio>

namespace {

// Plasma's scripting calls over the state file; the script comes on stdin. Only the script's
// own context is given to it: no require, no process.
const char* const Engine = R"js(
'use strict';
const fs = require('fs');
const vm = require('vm');
const [stateFile, screenList, desktopScreens] = process.argv.slice(1);

function geometry(text) {
    const m = /^(\d+)x(\d+)([+-]\d+)([+-]\d+)$/.exec(text);
    if (!m)
        throw new Error('fake_plasmashell: bad screen ' + text);
    return {x: +m[3], y: +m[4], width: +m[1], height: +m[2]};
}

function load() {
    if (fs.existsSync(stateFile)) {
        const lines = fs.readFileSync(stateFile, 'utf8').split('\n').filter(Boolean);
        return {screens: JSON.parse(lines[0]), desktops: lines.slice(1).map(l => JSON.parse(l))};
    }
    const screens = screenList.split(',').map(geometry);
    const screenOfEach = desktopScreens || screens.map((s, i) => i).join(',');
    const desktops = screenOfEach.split(',').map(n => ({screen: Number(n), plugin: 'org.kde.color',
                                                config: {}}));
    return {screens, desktops};
}

function save(state) {
    const lines = [JSON.stringify(state.screens)].concat(state.desktops.map(d => JSON.stringify(d)));
    fs.writeFileSync(stateFile, lines.join('\n') + '\n');
}

function containment(d) {
    let group = [];
    return {
        get screen() { return d.screen; },
        get wallpaperPlugin() { return d.plugin; },
        set wallpaperPlugin(name) { d.plugin = String(name); },
        get currentConfigGroup() { return group.slice(); },
        set currentConfigGroup(names) { group = Array.from(names, String); },
        writeConfig(key, value) {
            const name = group.join('/');
            d.config[name] = d.config[name] || {};
            d.config[name][String(key)] = value;
        },
        readConfig(key) { return (d.config[group.join('/')] || {})[String(key)]; },
    };
}

const state = load();
const printed = [];
const context = vm.createContext({
    desktops: () => state.desktops.map(containment),
    screenGeometry: n => Object.assign({x: 0, y: 0, width: 0, height: 0}, state.screens[n]),
    print: (...words) => printed.push(words.join(' ')),
});
try {
    vm.runInContext(fs.readFileSync(0, 'utf8'), context, {timeout: 1000, filename: 'script'});
} catch (error) {
    process.stderr.write(String(error));
    process.exitCode = 1;
}
save(state);
process.stdout.write(printed.join('\n'));
)js";

struct TWorld {
    QString Screens; // empty: scripts are only logged
    QString Desktops;
    QString State;
};

// The error of the script, or "" when it ran; what it printed goes to `printed`.
QString Run(const TWorld& world, const QString& script, QString& printed)
{
    QProcess node;
    node.start(QStringLiteral("node"),
               {QStringLiteral("-e"), QString::fromUtf8(Engine), QStringLiteral("--"), world.State,
                world.Screens, world.Desktops});
    if (!node.waitForStarted(2000))
        return QStringLiteral("fake_plasmashell: cannot start node");
    node.write(script.toUtf8());
    node.closeWriteChannel();
    // Below the backend's budget, so that the backend still hears the refusal.
    if (!node.waitForFinished(3000)) {
        node.kill();
        node.waitForFinished();
        return QStringLiteral("fake_plasmashell: the script did not end");
    }
    printed = QString::fromUtf8(node.readAllStandardOutput());
    if (node.exitStatus() == QProcess::NormalExit && node.exitCode() == 0)
        return {};
    const QString error = QString::fromUtf8(node.readAllStandardError()).simplified();
    return error.isEmpty() ? QStringLiteral("fake_plasmashell: node failed") : error;
}

class TShell : public QDBusVirtualObject {
public:
    TShell(QString log, bool locked, TWorld world)
        : log_(std::move(log)), locked_(locked), world_(std::move(world))
    {
    }

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
        const QString script = message.arguments().value(0).toString();
        {
            // Closed before the answer goes out: the test reads the log once it has that.
            QFile file(log_);
            if (file.open(QIODevice::Append)) {
                file.write(script.toUtf8());
                file.write("\n----\n");
            }
        }
        QString printed, error;
        if (locked_)
            error = QStringLiteral("Widgets are locked");
        else if (!world_.Screens.isEmpty())
            error = Run(world_, script, printed);
        if (!error.isEmpty())
            connection.send(message.createErrorReply(
                QStringLiteral("org.freedesktop.DBus.Error.Failed"), error));
        else
            connection.send(message.createReply(printed));
        return true;
    }

private:
    QString log_;
    bool locked_;
    TWorld world_;
};

// The value after the option, or "" without one.
QString Option(const QStringList& arguments, const QString& name)
{
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2)
        return 2;
    TWorld world{Option(arguments, QStringLiteral("--screens")),
                 Option(arguments, QStringLiteral("--desktops")),
                 Option(arguments, QStringLiteral("--state"))};
    if (!world.Screens.isEmpty() && world.State.isEmpty())
        return 2;
    TShell shell(arguments.at(1), arguments.contains(QStringLiteral("--locked")), world);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/PlasmaShell"), &shell) ||
        !bus.registerService(QStringLiteral("org.kde.plasmashell")))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}
