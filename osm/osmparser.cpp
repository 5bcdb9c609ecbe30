#include "osmparser.h"

#include "osmdata.h"

#include <QFile>
#include <QXmlStreamReader>

#include <iostream>

void OSMParser::parseFile(const QString &path, OSMData *data)
{
    std::cerr << "OSMParser: "
              << "Opening file \"" << path.toStdString() << "\"..." << std::endl;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::cerr << "OSMParser: "
                  << "Opening failed! Filepath: " << path.toStdString() << std::endl;
        return;
    }
    (void)data;
}

void OSMParser::parseTramStopsDir(const QString &, OSMData *) {}
void OSMParser::parseNode(QXmlStreamReader &, OSMData *) {}
void OSMParser::parseWay(QXmlStreamReader &, OSMData *) {}
void OSMParser::parseRelation(QXmlStreamReader &, OSMData *) {}
