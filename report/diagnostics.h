#ifndef KOLVEX_REPORT_DIAGNOSTICS_H
#define KOLVEX_REPORT_DIAGNOSTICS_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// How much a diagnostic matters to the user: progress only informs, a warning names input that was
/// left out or mended, an error ends the stage that met it.
enum class Severity : uint8_t { Progress, Warning, Error };

/// One thing a stage has to say about its input, as a value: which part of the program says it, about
/// which element and where in the file, and the text the user reads.
struct Diagnostic
{
    Severity severity = Severity::Warning;
    std::string component; ///< who speaks, as printed before the text: "OSMParser", "LineCreator"
    int64_t elementId = NO_ELEMENT;
    int64_t line = 0;   ///< line in the file read, from 1; 0 when there is none
    int64_t column = 0; ///< column in that line, from 1; 0 when there is none
    std::string text;   ///< what the user reads, without the component

    static constexpr int64_t NO_ELEMENT = -1;

    /// The line the console prints: "component: text".
    std::string printed() const;
};

/// The diagnostics of one run's preparation, in the order they were found. A listener (the console
/// printing to standard error, the window's log) hears each one as it is recorded; at most `cap` are
/// kept, so that a file with millions of faults cannot exhaust memory, and the rest are counted.
class Diagnostics
{
public:
    using Listener = std::function<void(const Diagnostic &)>;

    explicit Diagnostics(size_t cap = DEFAULT_CAP) : m_cap(cap) {}

    /// Records `diagnostic` (within the cap) and tells the listener.
    void add(Diagnostic diagnostic);
    /// Shorthand for a diagnostic without element or file position.
    void add(Severity severity, std::string component, std::string text);

    /// The one listener, replaced by each call; an empty function removes it.
    void setListener(Listener listener) { m_listener = std::move(listener); }

    const std::vector<Diagnostic> &all() const { return m_kept; }
    /// Diagnostics recorded past the cap, heard by the listener but not kept.
    size_t dropped() const { return m_dropped; }
    /// Number of kept diagnostics of `severity`.
    size_t count(Severity severity) const;
    bool hasErrors() const { return count(Severity::Error) > 0; }

    /// A listener that prints each diagnostic's `printed()` line to standard error.
    static Listener printToStandardError();

    static constexpr size_t DEFAULT_CAP = 10000;

private:
    size_t m_cap;
    size_t m_dropped = 0;
    std::vector<Diagnostic> m_kept;
    Listener m_listener;
};

#endif
