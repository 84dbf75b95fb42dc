#include "secretservice.h"

#include <QtTest>

namespace {
const QString testPassword = QStringLiteral("keyring-test");

// A session bus that activates nothing: a keyring is there only when the
// test starts one.
const char busConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

QString keyringsPath()
{
    return QDir::homePath() + QStringLiteral("/.local/share/keyrings");
}
}

SecretService::~SecretService()
{
    for (QProcess *process : {m_daemon.get(), m_bus.get()}) {
        if (process) {
            process->terminate();
            process->waitForFinished(10000);
        }
    }
}

bool SecretService::startBus()
{
    const QString dir = QDir::tempPath() + QStringLiteral("/bus");
    QDir().mkpath(dir);
    QFile config(dir + QStringLiteral("/session.conf"));
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(QString::fromLatin1(busConfig).arg(dir).toUtf8());
    config.close();
    m_bus = std::make_unique<QProcess>();
    m_bus->start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                  QStringLiteral("--config-file=") + config.fileName()});
    if (!m_bus->waitForStarted() || !m_bus->waitForReadyRead(10000))
        return false;
    m_address = QString::fromUtf8(m_bus->readLine()).trimmed();
    return !m_address.isEmpty();
}

QProcessEnvironment SecretService::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QDir::homePath() + QStringLiteral("/.local/share"));
    return environment;
}

QString SecretService::run(const QString &program, const QStringList &arguments) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    // secret-tool writes the attributes to the error channel.
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool SecretService::hasOwner() const
{
    return run(QStringLiteral("dbus-send"),
               {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                QStringLiteral("string:org.freedesktop.secrets")})
            .contains(QStringLiteral("boolean true"));
}

bool SecretService::stopDaemon()
{
    if (m_daemon) {
        m_daemon->terminate();
        m_daemon->waitForFinished(10000);
        m_daemon.reset();
    }
    return QTest::qWaitFor([this] { return !hasOwner(); }, 10000);
}

void SecretService::clear()
{
    QDir(keyringsPath()).removeRecursively();
}

bool SecretService::enter(State state)
{
    if (!stopDaemon() || state == Absent)
        return !hasOwner();
    m_daemon = std::make_unique<QProcess>();
    m_daemon->setProcessEnvironment(environment());
    m_daemon->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon->start(QStringLiteral("gnome-keyring-daemon"),
                    {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                     QStringLiteral("--components=secrets")});
    if (!m_daemon->waitForStarted())
        return false;
    m_daemon->write(testPassword.toUtf8());
    m_daemon->closeWriteChannel();
    if (!QTest::qWaitFor([this] { return hasOwner(); }, 20000))
        return false;
    if (state == Locked) {
        run(QStringLiteral("dbus-send"),
            {QStringLiteral("--session"), QStringLiteral("--print-reply"),
             QStringLiteral("--dest=org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
             QStringLiteral("org.freedesktop.Secret.Service.Lock"),
             QStringLiteral("array:objpath:/org/freedesktop/secrets/collection/login")});
    }
    return true;
}

QStringList SecretService::entries()
{
    if (!enter(Running))
        return {QStringLiteral("no keyring")};
    // Blocks of "[path]", "label = ...", "secret = ...", "attribute.user = ...".
    const QStringList lines = run(QStringLiteral("secret-tool"),
                                  {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--unlock"),
                                   QStringLiteral("xdg:schema"), QStringLiteral("org.qt.keychain")})
                                      .split(QLatin1Char('\n'));
    QStringList found;
    QString label, secret;
    for (const QString &line : lines) {
        const QString value = line.section(QStringLiteral(" = "), 1);
        if (line.startsWith(QStringLiteral("label = ")))
            label = value;
        else if (line.startsWith(QStringLiteral("secret = ")))
            secret = value;
        else if (line.startsWith(QStringLiteral("attribute.user = ")))
            found << QStringList{label, value, secret}.join(QLatin1Char('|'));
    }
    found.sort();
    return found;
}
