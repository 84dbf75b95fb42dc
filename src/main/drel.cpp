#include "main/drel.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMimeDatabase>
#include <QUrl>
#include <QVariant>

void drelInit(const char *version, const char *name)
{
    Q_UNUSED(name)
    QCoreApplication::setOrganizationName(QStringLiteral("drel"));
    QCoreApplication::setApplicationName(QStringLiteral("mail"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(version));
    // Without a desktop session Qt may know no icon folders and falls back to
    // "hicolor", which has no MIME icons at all.
    QStringList paths = QIcon::themeSearchPaths();
    QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = "/usr/local/share:/usr/share";
    QStringList candidates = {QDir::homePath() + QStringLiteral("/.icons")};
    for (const QByteArray &dir : dataDirs.split(':'))
        candidates << QFile::decodeName(dir) + QStringLiteral("/icons");
    for (const QString &dir : qAsConst(candidates)) {
        if (!paths.contains(dir) && QDir(dir).exists())
            paths << dir;
    }
    QIcon::setThemeSearchPaths(paths);
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

bool drelInTabletMode()
{
    return QVariant(QString::fromLocal8Bit(qgetenv("DREL_TABLET_MODE")).trimmed()).toBool();
}

QWidget *drelHelpLookForWidget()
{
    return nullptr;
}

void drelHelpShow(QWidget *context)
{
    Q_UNUSED(context)
    QDesktopServices::openUrl(QUrl(QStringLiteral("help:drel-mail")));
}

QIcon DrelIcon::forMimeType(const QString &mimeType, const QIcon &fallback)
{
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeType);
    if (!type.isValid())
        return fallback;
    for (const QString &name : {type.iconName(), type.genericIconName()}) {
        if (!name.isEmpty() && QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return fallback;
}
