#ifndef KOLVEX_TOOLS_HEADLESS_HEADLESSRUNNER_H
#define KOLVEX_TOOLS_HEADLESS_HEADLESSRUNNER_H

#include "detectors.h"
#include "headlessoptions.h"
#include "punctuality.h"

#include "engine/trafficcensus.h"

#include <QFile>
#include <QObject>
#include <QTextStream>

#include <memory>

class Simulation;

/// Drives one headless run in the main thread: preparation in the simulation's worker thread,
/// then the requested steps back to back, with statistics, CSV and position output.
class HeadlessRunner : public QObject
{
    Q_OBJECT
public:
    explicit HeadlessRunner(const HeadlessOptions &options);
    ~HeadlessRunner() override;

    /// Starts the run; the application quits with exitCode() when it is over.
    void start();
    int exitCode() const { return code; }

private:
    void prepared();
    void runSteps();
    void writeStatistics(qint64 stepNs);
    void writeTransportSummary();
    /// Writes the drafted timetable; false if it could not be written.
    bool draftSchedules();
    void writePositions();
    bool openOutput(const QString &path, QFile &file, QTextStream &stream, const char *header);
    /// Places the detectors and opens their file; false if it could not be written.
    bool startDetectors();
    void finish(int exitCode);

    HeadlessOptions options;
    std::unique_ptr<Simulation> simulation;
    qint64 prepMs = 0;
    int code = 0;
    QFile csvFile, fcdFile, detectorFile;
    QTextStream csv, fcd, detectorCsv;
    std::unique_ptr<Detectors> detectors;
    qint64 statsNs = 0; ///< step time summed since the last statistics line
    TrafficCensus census;
    Punctuality punctuality;
};

#endif
