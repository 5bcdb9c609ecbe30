#ifndef KOLVEX_APP_USERSETTINGS_H
#define KOLVEX_APP_USERSETTINGS_H

#include <QSettings>

/// What the window remembers for the user between starts (the last folder and run): Kolvex/Kolvex.conf
/// in the user's config folder, which QSettings::setPath may move (the tests and the screenshot
/// tool keep their own).
class UserSettings : public QSettings
{
public:
    UserSettings()
        : QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kolvex"), QStringLiteral("Kolvex"))
    {}
};

#endif
