#include "scheduleparser.h"

#include <QFile>

#include <iostream>

ScheduleParser::~ScheduleParser()
{
    for (Schedule *schedule : list)
        delete schedule;
}

void ScheduleParser::parse(const QString &path)
{
    std::cerr << "Schedule parser: "
              << "Opening file \"" << path.toStdString() << "\"... ";
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::cerr << "Error while opening file. Returning." << std::endl;
        return;
    }
    std::cerr << "Done!" << std::endl;
}
