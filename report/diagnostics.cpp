#include "diagnostics.h"

#include <algorithm>
#include <iostream>

std::string Diagnostic::printed() const
{
    return component.empty() ? text : component + ": " + text;
}

void Diagnostics::add(Diagnostic diagnostic)
{
    if (m_listener)
        m_listener(diagnostic);
    if (m_kept.size() < m_cap)
        m_kept.push_back(std::move(diagnostic));
    else
        ++m_dropped;
}

void Diagnostics::add(Severity severity, std::string component, std::string text)
{
    Diagnostic diagnostic;
    diagnostic.severity = severity;
    diagnostic.component = std::move(component);
    diagnostic.text = std::move(text);
    add(std::move(diagnostic));
}

size_t Diagnostics::count(Severity severity) const
{
    return static_cast<size_t>(std::count_if(m_kept.begin(), m_kept.end(),
                                             [severity](const Diagnostic &d) { return d.severity == severity; }));
}

Diagnostics::Listener Diagnostics::printToStandardError()
{
    return [](const Diagnostic &diagnostic) { std::cerr << diagnostic.printed() << std::endl; };
}
