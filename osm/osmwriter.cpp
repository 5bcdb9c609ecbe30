#include "osmwriter.h"

#include "osmdata.h"

const char *const OSMWriter::DEFAULT_DIRECTORY = "./dataOSM/comp/";
const char *const OSMWriter::DEFAULT_FILE_NAME = "compressed.osm";

void OSMWriter::createOsm(OSMData *data)
{
    createOsm(data, QStringLiteral("%1%2").arg(QLatin1String(DEFAULT_DIRECTORY), QLatin1String(DEFAULT_FILE_NAME)));
}

void OSMWriter::createOsm(OSMData *, const QString &) {}
