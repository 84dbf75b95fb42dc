#pragma once

#include <QObject>
#include <QString>

// Helpers that the QML reaches through the context property "utils", and the
// sealing with which older versions stored passwords in the settings file
// (read once more to move them into the keyring; nothing is sealed anew).
// Lives on the main thread; encrypt() and decrypt() are reentrant and also
// used from worker threads.
class Utils : public QObject
{
    Q_OBJECT

public:
    explicit Utils(QObject *parent = nullptr);

    // AES-256-CBC under a key derived from the built-in key phrase, as
    // uppercase hexadecimal. Never throw; on failure they log and return
    // what was produced before it.
    static QString encrypt(const QString &text);
    static QString decrypt(const QString &sealed);

public slots:
    // Saves a letter's HTML body as a PDF file where the user chooses;
    // name is the letter's subject, proposed as the file name.
    void printToPdf(const QString &text, const QString &name);
};
