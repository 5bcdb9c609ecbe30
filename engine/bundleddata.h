#ifndef KOLVEX_ENGINE_BUNDLEDDATA_H
#define KOLVEX_ENGINE_BUNDLEDDATA_H

#include <QString>

/// The sample city that comes with Kolvex, its default inputs: where its map and schedules are.
///
/// Each file is taken from `./data/` of the working directory when it is there (the source tree,
/// or a folder the user prepared), otherwise from the installed `share/kolvex/`, which is found from
/// the running program's own location so that a relocated installation works too. When neither
/// holds it, the `./data/` path is given, so that the message about the missing file names the
/// usual place.
namespace BundledData {

constexpr const char *WORKING_DIRECTORY = "./data/";

/// The installed data folder beside the running program ("/usr/share/kolvex/" for "/usr/bin/");
/// empty without an application object. It may not exist (a program run from its build folder).
QString installedDirectory();
/// Where `fileName` of the bundled data is found, by the rule above.
QString find(const QString &fileName);
QString mapPath();
QString schedulePath();

} // namespace BundledData

#endif
