#include "fixtures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QSettings>
#include <QtDebug>

#include <sys/stat.h>

QByteArray Fixtures::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Fixtures::writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QJsonObject Fixtures::readByPython(const QByteArray &message)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(MAIL_SOURCE_DIR "/tests/support/readmessage.py")});
    python.write(message);
    python.closeWriteChannel();
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning() << "readmessage.py failed:" << python.readAllStandardError();
        return QJsonObject();
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QStringList Fixtures::settingsGroups(const QString &group)
{
    QSettings settings;
    settings.beginGroup(group);
    return settings.childGroups();
}

QVariant Fixtures::accountValue(const QString &email, const QString &key)
{
    return QSettings().value(QStringLiteral("profiles/") + email + QLatin1Char('/') + key);
}

void Fixtures::storeAccounts(const QStringList &emails, const QString &current)
{
    QSettings settings;
    for (const QString &email : emails)
        settings.setValue(QStringLiteral("profiles/") + email + QStringLiteral("/name"), email);
    settings.setValue(QStringLiteral("global/currentProfile"), current);
}

int Fixtures::fileMode(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QStringList Fixtures::column(const QAbstractItemModel &model, int role)
{
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
        values << model.index(row, 0).data(role).toString();
    return values;
}

vmime::shared_ptr<vmime::attachment> Fixtures::attachment(const std::string &data, const std::string &name,
                                                          const std::string &type, const char *encoding)
{
    const vmime::encoding held = encoding ? vmime::encoding(encoding) : vmime::contentHandler::NO_ENCODING;
    return vmime::make_shared<vmime::defaultAttachment>(vmime::make_shared<vmime::stringContentHandler>(data, held),
                                                        vmime::mediaType(type), vmime::text(),
                                                        vmime::word(name));
}

DialogAnswer::DialogAnswer(const QString &path)
{
    FileDialog::setAnswer([this, path](const QString &c, const QString &p) {
        ++count;
        caption = c;
        proposed = p;
        return path;
    });
}

DialogAnswer::~DialogAnswer()
{
    FileDialog::setAnswer({});
}

void Fixtures::writeIncomingFolder(const QString &accountDir, int letters)
{
    QDir().mkpath(accountDir + "/Incoming");
    QSettings index(accountDir + "/incoming.conf", QSettings::IniFormat);
    const QDateTime start(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < letters; ++i) {
        const QString id = QStringLiteral("m%1@bench").arg(i);
        index.beginGroup("mail/" + id);
        index.setValue("from", QStringLiteral("Sender %1 <s%1@example.org>").arg(i));
        index.setValue("subject", QStringLiteral("Letter number %1 about something").arg(i));
        index.setValue("date", start.addSecs(i * 60));
        index.setValue("letterType", i % 3 ? 1 : 0);
        index.setValue("folderType", 0);
        index.endGroup();
        writeFile(accountDir + "/Incoming/" + id + ".eml",
                  QStringLiteral("Message-ID: <%1>\r\nFrom: Sender %2 <s%2@example.org>\r\n"
                                 "Subject: Letter number %2 about something\r\n\r\nText %2\r\n")
                      .arg(id)
                      .arg(i)
                      .toUtf8());
    }
}
