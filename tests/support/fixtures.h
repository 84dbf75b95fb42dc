#pragma once

#include "filedialog.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <vmime/vmime.hpp>

// Small fixtures that several test programs share.
namespace Fixtures {
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &content);
// A value of an account's group in the program's settings file.
QVariant accountValue(const QString &email, const QString &key);
// An attachment handle over bytes in memory.
vmime::shared_ptr<vmime::attachment> attachment(const std::string &data, const std::string &name,
                                                const std::string &type = "application/octet-stream");
}

// Answers the program's file dialog with a fixed path (empty: the user
// cancels) and records what it was asked; restores the real dialog when gone.
struct DialogAnswer
{
    explicit DialogAnswer(const QString &path = QString());
    ~DialogAnswer();
    int count = 0;
    QString caption;
    QString proposed;
};
