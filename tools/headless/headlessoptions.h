#ifndef KOLVEX_TOOLS_HEADLESSOPTIONS_H
#define KOLVEX_TOOLS_HEADLESSOPTIONS_H

#include <QString>
#include <QStringList>
#include <QTime>

#include <cstdint>

/// The command line of kolvex-headless.
struct HeadlessOptions
{
    QString osmPath;
    QString schedulePath;
    QTime start = QTime(14, 0, 0);
    uint64_t seed;

    /// Reads `arguments` (program name first); false with `error` set for an unknown option or a
    /// malformed value.
    bool parse(const QStringList &arguments, QString &error);
    static QString usage();
};

#endif
