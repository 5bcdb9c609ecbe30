#include "bundleddata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

// From the build: KOLVEX_DATA_FROM_PROGRAM, the data folder relative to the programs' folder
// ("../share/kolvex"), and the names of the two files, KOLVEX_BUNDLED_MAP and
// KOLVEX_BUNDLED_SCHEDULES.

namespace BundledData {

QString installedDirectory()
{
    if (!QCoreApplication::instance())
        return QString();
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/" KOLVEX_DATA_FROM_PROGRAM)) +
           QLatin1Char('/');
}

QString find(const QString &fileName)
{
    const QString working = QLatin1String(WORKING_DIRECTORY) + fileName;
    if (QFileInfo(working).isFile())
        return working;
    const QString installed = installedDirectory();
    if (!installed.isEmpty() && QFileInfo(installed + fileName).isFile())
        return installed + fileName;
    return working;
}

QString mapPath()
{
    return find(QStringLiteral(KOLVEX_BUNDLED_MAP));
}

QString schedulePath()
{
    return find(QStringLiteral(KOLVEX_BUNDLED_SCHEDULES));
}

} // namespace BundledData
