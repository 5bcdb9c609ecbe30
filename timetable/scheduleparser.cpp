#include "scheduleparser.h"

#include "report/diagnostics.h"

#include <QFile>
#include <QXmlStreamReader>

namespace {

const char *const COMPONENT = "Schedule parser";

/// Records a failed check in the form shared with the other check reports of the timetable code,
/// at the reader's place in the file.
void reportCheck(Diagnostics &diagnostics, const QXmlStreamReader &reader, int sourceLine, const char *condition,
                 const char *message)
{
    Diagnostic check;
    check.line = reader.lineNumber();
    check.column = reader.columnNumber() + 1; // Qt counts columns from 0
    check.text = std::string("Soubor: ScheduleParser:") + std::to_string(sourceLine) + " | condition: " + condition +
                 " | message: " + message;
    diagnostics.add(std::move(check));
}

std::string toStdString(const QStringRef &text)
{
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

/// Reads the next token; false when the element `endName` closed (then `closed` is set) or the
/// document ended or broke first.
bool nextTokenWithin(QXmlStreamReader &reader, QLatin1String endName, bool &closed)
{
    const QXmlStreamReader::TokenType token = reader.readNext();
    if (token == QXmlStreamReader::EndElement && reader.name() == endName) {
        closed = true;
        return false;
    }
    return !reader.atEnd() && !reader.hasError();
}

} // namespace

ScheduleParser::~ScheduleParser()
{
    for (Schedule *schedule : list)
        delete schedule;
}

bool ScheduleParser::parse(const QString &path, Diagnostics &diagnostics, QString *problem)
{
    const std::string opening = "Opening file \"" + path.toStdString() + "\"... ";
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        diagnostics.add(Severity::Error, COMPONENT, opening + "Error while opening file. Returning.");
        if (problem)
            *problem = QStringLiteral("cannot open \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    diagnostics.add(Severity::Progress, COMPONENT, opening + "Done!");

    QXmlStreamReader reader(&file);
    while (!reader.atEnd() && !reader.hasError()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != QLatin1String("line"))
            continue;
        if (Schedule *schedule = parseLine(reader, diagnostics))
            list.push_back(schedule);
    }
    const bool complete = !reader.hasError();
    if (complete) {
        diagnostics.add(Severity::Progress, COMPONENT, "Parsing... Done!");
    } else {
        Diagnostic error;
        error.severity = Severity::Error;
        error.component = COMPONENT;
        error.line = reader.lineNumber();
        error.column = reader.columnNumber() + 1;
        error.text = "Parsing... XML parsing error: " + reader.errorString().toStdString();
        diagnostics.add(std::move(error));
        diagnostics.add(Severity::Progress, std::string(), "Done!"); // as it has always been printed
        if (problem)
            *problem = QStringLiteral("XML error in \"%1\" at line %2, column %3: %4")
                           .arg(path)
                           .arg(reader.lineNumber())
                           .arg(reader.columnNumber() + 1) // Qt counts columns from 0
                           .arg(reader.errorString());
    }

    reader.clear();
    file.close();
    return complete;
}

// A line cut off by the end of the document or an XML error is discarded like an incomplete one:
// its departures or stops may be missing. It still consumed a schedule id.
Schedule *ScheduleParser::parseLine(QXmlStreamReader &reader, Diagnostics &diagnostics)
{
    Schedule *schedule = new Schedule(nextScheduleId++);
    parseLineAttributes(reader, schedule);
    bool closed = false;
    bool complete = true;
    while (complete && nextTokenWithin(reader, QLatin1String("line"), closed)) {
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("times"))
            complete = parseTimes(reader, schedule);
        else if (reader.name() == QLatin1String("route"))
            complete = parseRoute(reader, schedule, diagnostics);
    }
    if (!closed || schedule->startTimes.empty() || schedule->stops.empty()) {
        delete schedule;
        return nullptr;
    }
    return schedule;
}

void ScheduleParser::parseLineAttributes(QXmlStreamReader &reader, Schedule *schedule)
{
    const QXmlStreamAttributes attributes = reader.attributes();
    schedule->name = toStdString(attributes.value(QLatin1String("name")));
    const QStringRef type = attributes.value(QLatin1String("type"));
    if (type == QLatin1String("tram"))
        schedule->lineType = Schedule::Tram;
    else if (type == QLatin1String("troj"))
        schedule->lineType = Schedule::Trolleybus;
    else if (type == QLatin1String("bus"))
        schedule->lineType = Schedule::Bus;
    else
        schedule->lineType = Schedule::NoType;
}

bool ScheduleParser::parseTimes(QXmlStreamReader &reader, Schedule *schedule)
{
    bool closed = false;
    while (nextTokenWithin(reader, QLatin1String("times"), closed)) {
        if (!reader.isStartElement() || reader.name() != QLatin1String("m"))
            continue;
        // Reading the text leaves the reader on the end element of m.
        const QString text = reader.readElementText(QXmlStreamReader::SkipChildElements);
        if (reader.hasError())
            return false;
        bool ok = false;
        const int minutes = text.toInt(&ok, 10);
        schedule->startTimes.push_back(ok ? minutes : 0);
    }
    return closed;
}

bool ScheduleParser::parseRoute(QXmlStreamReader &reader, Schedule *schedule, Diagnostics &diagnostics)
{
    bool closed = false;
    while (nextTokenWithin(reader, QLatin1String("route"), closed)) {
        if (reader.isStartElement() && reader.name() == QLatin1String("stop"))
            parseStopAttributes(reader, schedule, diagnostics);
    }
    return closed;
}

void ScheduleParser::parseStopAttributes(QXmlStreamReader &reader, Schedule *schedule, Diagnostics &diagnostics)
{
    const QXmlStreamAttributes attributes = reader.attributes();
    ScheduleStop stop;
    stop.name = toStdString(attributes.value(QLatin1String("name")));
    bool toIntOk = false;
    stop.tRel = attributes.value(QLatin1String("t_rel")).toInt(&toIntOk, 10);
    if (toIntOk == false) {
        reportCheck(diagnostics, reader, __LINE__, "toIntOk == false",
                    "parseStopAttributes(), (\"t_rel\").toInt failed!");
        stop.tRel = 0;
    }
    stop.tAbs = attributes.value(QLatin1String("t_abs")).toInt(&toIntOk, 10);
    if (toIntOk == false) {
        reportCheck(diagnostics, reader, __LINE__, "toIntOk == false",
                    "parseStopAttributes(), (\"t_abs\").toInt failed!");
        stop.tAbs = 0;
    }
    schedule->stops.push_back(stop);
}
