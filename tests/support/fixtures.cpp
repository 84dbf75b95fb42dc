#include "fixtures.h"

#include <QFile>
#include <QSettings>

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

QVariant Fixtures::accountValue(const QString &email, const QString &key)
{
    return QSettings().value(QStringLiteral("profiles/") + email + QLatin1Char('/') + key);
}

vmime::shared_ptr<vmime::attachment> Fixtures::attachment(const std::string &data, const std::string &name,
                                                          const std::string &type)
{
    return vmime::make_shared<vmime::defaultAttachment>(vmime::make_shared<vmime::stringContentHandler>(data),
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
