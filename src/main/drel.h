#pragma once

#include <QIcon>
#include <QString>

class QWidget;

// The calls the program makes into the desktop environment. This desktop
// offers no such library, so they are answered here with what a plain Linux
// desktop has: the icon theme, the MIME database and the environment.

// Introduces the program to the desktop: names the application (and so the
// settings file, ~/.config/drel/mail.conf) and picks an icon theme that has
// MIME icons when the desktop names none.
void drelInit(const char *version, const char *name);

// True when the desktop runs in tablet mode; read from DREL_TABLET_MODE.
bool drelInTabletMode();

// The help context: this program has no widgets, so there is none.
QWidget *drelHelpLookForWidget();

// Shows the help: asks the desktop to open the URL "help:drel-mail".
void drelHelpShow(QWidget *context);

namespace DrelIcon {
// The icon theme's icon for a MIME type name, or the fallback when the MIME
// database does not know the type or the theme has no icon for it.
QIcon forMimeType(const QString &mimeType, const QIcon &fallback);
}
