#pragma once

#include <QString>

#include <functional>

// The file dialogs the program shows. A test (or any caller that is not a
// user) can put an answer function in place of the dialog.
class FileDialog
{
public:
    // caption, proposed path (or directory) -> chosen path, empty on cancel
    using Answer = std::function<QString(const QString &caption, const QString &proposed)>;

    static QString getSaveFileName(const QString &caption, const QString &proposedPath);
    static QString getOpenFileName(const QString &caption, const QString &directory);

    // Replaces the dialogs until reset with an empty function.
    static void setAnswer(Answer answer);

private:
    static Answer &answer();
};
