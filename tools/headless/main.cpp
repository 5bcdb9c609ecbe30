// kolvex-headless: the simulation core on the console, for batch runs, tests and benchmarks.
// Preparation log messages go to standard output, diagnostics to standard error.

#include "headlessoptions.h"
#include "headlessrunner.h"
#include "tileprefetch.h"

#include "model/random.h"
#include "osm/boundingboxclip.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "osm/osmwriter.h"
#include "report/diagnostics.h"

#include <QCoreApplication>
#include <QTimer>

#include <iostream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kolvex-headless"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KOLVEX_VERSION));

    HeadlessOptions options;
    QString error;
    const bool parsed = options.parse(QCoreApplication::arguments(), error);
    if (options.helpRequested) {
        std::cout << HeadlessOptions::helpText().toStdString() << std::flush;
        return 0;
    }
    if (!parsed) {
        std::cerr << "kolvex-headless: " << error.toStdString() << std::endl;
        std::cerr << HeadlessOptions::usage().toStdString() << std::endl;
        std::cerr << "kolvex-headless --help describes every option." << std::endl;
        return 2;
    }
    if (options.versionRequested) {
        std::cout << "kolvex-headless " << KOLVEX_VERSION << std::endl;
        return 0;
    }

    if (options.fetchTiles)
        return prefetchTiles(options);

    if (!options.writeOsmPath.isEmpty()) {
        // The reduced extract is written from the map as read, before conversion changes it.
        Diagnostics diagnostics;
        diagnostics.setListener(Diagnostics::printToStandardError());
        OSMData data;
        data.setDiagnostics(&diagnostics);
        QString problem;
        const XmlReadLimits limits = XmlReadLimits::forNetworkCells(options.budget.maxNetworkCells);
        if (!OSMParser::parseFile(options.osmPath, &data, &problem, limits, &diagnostics)) {
            std::cerr << "kolvex-headless: map: " << problem.toStdString() << std::endl;
            return 1;
        }
        if (options.bbox)
            return OSMWriter::createOsm(BoundingBoxClip::clip(data, *options.bbox).get(), options.writeOsmPath,
                                        diagnostics)
                       ? 0
                       : 1;
        return OSMWriter::createOsm(&data, options.writeOsmPath, diagnostics) ? 0 : 1;
    }

    HeadlessRunner runner(options);
    QTimer::singleShot(0, &runner, &HeadlessRunner::start);
    return app.exec();
}
