#include "base/filedialog.h"

#include <QFileDialog>

FileDialog::Answer &FileDialog::answer()
{
    static Answer a;
    return a;
}

void FileDialog::setAnswer(Answer a)
{
    answer() = std::move(a);
}

QString FileDialog::getSaveFileName(const QString &caption, const QString &proposedPath)
{
    if (answer())
        return answer()(caption, proposedPath);
    return QFileDialog::getSaveFileName(nullptr, caption, proposedPath, QString());
}

QString FileDialog::getOpenFileName(const QString &caption, const QString &directory)
{
    if (answer())
        return answer()(caption, directory);
    return QFileDialog::getOpenFileName(nullptr, caption, directory, QString());
}
