#ifndef KOLVEX_TESTS_TOOLS_HEADLESSRUN_H
#define KOLVEX_TESTS_TOOLS_HEADLESSRUN_H

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

/// What one run of kolvex-headless left: its exit code (−1 after a crash) and its two streams.
struct HeadlessRun
{
    int exitCode;
    QString out;
    QString err;

    /// The first number after `label` in the summary; −1 if absent.
    long long figure(const QString &label) const
    {
        const QRegularExpression re(QRegularExpression::escape(label) + QStringLiteral(" \\.* (-?\\d+)"));
        const QRegularExpressionMatch m = re.match(out);
        return m.hasMatch() ? m.captured(1).toLongLong() : -1;
    }
};

/// Runs kolvex-headless as a user runs it, with `arguments`, and waits for it to end.
inline HeadlessRun runHeadless(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(KOLVEX_HEADLESS_PROGRAM), arguments);
    process.waitForFinished(300000);
    return HeadlessRun{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                       QString::fromUtf8(process.readAllStandardOutput()),
                       QString::fromUtf8(process.readAllStandardError())};
}

#endif
