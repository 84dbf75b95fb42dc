#pragma once

#include "base/filedialog.h"

#include <QAbstractItemModel>
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVariant>

#include <vmime/vmime.hpp>

// Small fixtures that several test programs share.
namespace Fixtures {
// A message as Python's own mail parser reads it (tests/support/readmessage.py):
// an independent reading of what reached a server. Empty when it failed.
QJsonObject readByPython(const QByteArray &message);
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &content);
// The records of a group ("profiles", "servers") in the program's settings file.
QStringList settingsGroups(const QString &group);
// A value of an account's group in the program's settings file.
QVariant accountValue(const QString &email, const QString &key);
// Accounts as the settings file of an earlier run leaves them.
void storeAccounts(const QStringList &emails, const QString &current = QString());
// An Incoming folder of many letters as an earlier run leaves it, in the
// account directory: the index as QSettings writes it and a small message
// file per letter, "m<i>@bench", subject "Letter number <i> about
// something", a minute apart from 2024-01-01 on, every third one unseen.
void writeIncomingFolder(const QString &accountDir, int letters);
// Permission bits of a file, -1 when it is missing.
int fileMode(const QString &path);
// Values of one role, row by row.
QStringList column(const QAbstractItemModel &model, int role);
// An attachment handle over bytes in memory, held in that transfer encoding
// (as in a parsed message) when one is named.
vmime::shared_ptr<vmime::attachment> attachment(const std::string &data, const std::string &name,
                                                const std::string &type = "application/octet-stream",
                                                const char *encoding = nullptr);
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
