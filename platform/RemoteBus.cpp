// The running copy's commands on the session bus.

#include "platform/RemoteControl.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QThread>

#include <algorithm>
#include <optional>

namespace scenaria {

namespace {

const QString BusyError = QStringLiteral("org.scenaria.Scenaria.Error.Busy");
const QString FailedError = QStringLiteral("org.scenaria.Scenaria.Error.Failed");

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

bool IsCommand(const QString& member)
{
    const auto& names = RemoteCommandNames();
    return std::find(names.begin(), names.end(), member.toStdString()) != names.end();
}

class TRemoteObject : public QDBusVirtualObject {
public:
    explicit TRemoteObject(TRemoteServer::THandler handler) : handler_(std::move(handler)) {}

    QString introspect(const QString&) const override
    {
        QString xml = QStringLiteral("<interface name=\"%1\">").arg(Q(RemoteInterfaceName));
        for (const auto& name : RemoteCommandNames())
            xml += QStringLiteral("<method name=\"%1\"><arg name=\"facts\" type=\"as\" "
                                  "direction=\"out\"/></method>")
                       .arg(Q(name));
        return xml + QStringLiteral("</interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.type() != QDBusMessage::MethodCallMessage)
            return false;
        if ((!message.interface().isEmpty() &&
             message.interface() != QLatin1String(RemoteInterfaceName)) ||
            !IsCommand(message.member()) || !message.arguments().isEmpty())
            return false; // the bus answers with its own "unknown method" error
        TRemoteAnswer answer;
        // The handler touches the program's windows: it runs on their thread.
        if (QThread::currentThread() == thread())
            answer = handler_(message.member().toStdString());
        else
            QMetaObject::invokeMethod(
                this, [&] { answer = handler_(message.member().toStdString()); },
                Qt::BlockingQueuedConnection);
        QStringList lines;
        for (const auto& line : answer.Lines)
            lines << Q(line);
        switch (answer.Outcome) {
        case roDone:
            connection.send(message.createReply(QVariant(lines)));
            break;
        case roBusy:
            connection.send(message.createErrorReply(BusyError, lines.join(QLatin1Char('\n'))));
            break;
        default:
            connection.send(message.createErrorReply(FailedError, lines.join(QLatin1Char('\n'))));
            break;
        }
        return true;
    }

private:
    TRemoteServer::THandler handler_;
};

} // namespace

struct TRemoteServer::TImpl {
    QDBusConnection Bus = QDBusConnection::sessionBus();
    QString Service;
    std::unique_ptr<TRemoteObject> Object;
    bool Listening = false;
    std::string Error;
};

TRemoteServer::TRemoteServer(const std::string& programFileName, THandler handler)
    : impl_(std::make_unique<TImpl>())
{
    impl_->Service = Q(RemoteServiceName(programFileName));
    if (!impl_->Bus.isConnected()) {
        impl_->Error = "no session bus: " + impl_->Bus.lastError().message().toStdString();
        return;
    }
    impl_->Object = std::make_unique<TRemoteObject>(std::move(handler));
    if (!impl_->Bus.registerVirtualObject(Q(RemoteObjectPath), impl_->Object.get())) {
        impl_->Error = "cannot offer " + std::string(RemoteObjectPath) + " on the session bus";
        return;
    }
    // Queued requests are refused: a name already owned belongs to another copy, and waiting
    // for it would make this copy answer once that one ends, under the other one's name.
    const auto reply = impl_->Bus.interface()->registerService(
        impl_->Service, QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        impl_->Bus.unregisterObject(Q(RemoteObjectPath));
        impl_->Error = "the bus name " + impl_->Service.toStdString() + " is taken";
        return;
    }
    impl_->Listening = true;
}

TRemoteServer::~TRemoteServer()
{
    if (impl_->Listening) {
        impl_->Bus.unregisterService(impl_->Service);
        impl_->Bus.unregisterObject(Q(RemoteObjectPath));
    }
}

bool TRemoteServer::Listening() const
{
    return impl_->Listening;
}

const std::string& TRemoteServer::Error() const
{
    return impl_->Error;
}

TRemoteAnswer CallRunningCopy(const std::string& programFileName, const std::string& command,
                              int timeoutMs)
{
    // The bus library wants an application object; a second start and scenarix-tool call
    // before (or without) making one.
    std::optional<QCoreApplication> application;
    static int argc = 1;
    static char name[] = "scenaria";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        application.emplace(argc, argv);

    const std::string notRunning = "Scenaria is not running: no copy of \"" + programFileName +
                                   "\" answers on the session bus";
    TRemoteAnswer answer;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        answer.Lines = {notRunning + " (" + bus.lastError().message().toStdString() + ")"};
        return answer;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(Q(RemoteServiceName(programFileName)), Q(RemoteObjectPath),
                                       Q(RemoteInterfaceName), Q(command));
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        answer.Outcome = roDone;
        for (const QString& line : reply.arguments().value(0).toStringList())
            answer.Lines.push_back(line.toStdString());
        return answer;
    }
    const QString error = reply.errorName();
    if (error == BusyError || error == FailedError) {
        answer.Outcome = error == BusyError ? roBusy : roFailed;
        answer.Lines = {reply.errorMessage().toStdString()};
    } else if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
               error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        answer.Lines = {notRunning};
    } else {
        answer.Lines = {notRunning + " (" + reply.errorMessage().toStdString() + ")"};
    }
    return answer;
}

} // namespace scenaria
