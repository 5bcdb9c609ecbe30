#include "xmlplacement.h"

#include "osmelementrecords.h"

#include <QXmlStreamReader>

namespace {

/// An element of the format and the elements it belongs directly inside (none: only at the root).
struct Place
{
    QLatin1String element;
    std::vector<QLatin1String> parents;
};

const std::vector<Place> &places()
{
    static const std::vector<Place> all = {
        {QLatin1String("osm"), {}},
        {QLatin1String("node"), {QLatin1String("osm")}},
        {QLatin1String("way"), {QLatin1String("osm")}},
        {QLatin1String("relation"), {QLatin1String("osm")}},
        {QLatin1String("tag"),
         {QLatin1String("node"), QLatin1String("way"), QLatin1String("relation"), QLatin1String("changeset")}},
        {QLatin1String("nd"), {QLatin1String("way")}},
        {QLatin1String("member"), {QLatin1String("relation")}},
    };
    return all;
}

std::string whereItBelongs(const Place &place)
{
    if (place.parents.empty())
        return "only as the root of the document";
    std::string text = "directly inside ";
    for (size_t i = 0; i < place.parents.size(); ++i) {
        if (i > 0)
            text += i + 1 == place.parents.size() ? " or " : ", ";
        text += '<' + std::string(place.parents[i].data(), static_cast<size_t>(place.parents[i].size())) + '>';
    }
    return text;
}

} // namespace

void XmlPlacement::finish(QXmlStreamReader &reader, QLatin1String name)
{
    std::vector<QString> open;
    readToEnd(reader, open, name);
}

void XmlPlacement::skip(QXmlStreamReader &reader, QLatin1String parent)
{
    check(reader, QString(parent));
    std::vector<QString> open{reader.name().toString()};
    readToEnd(reader, open, QLatin1String());
}

void XmlPlacement::reportRest()
{
    if (count > 1)
        readerrules::say(log, Severity::Warning,
                         "    Ignored " + std::to_string(count - 1) + " more elements out of place");
}

void XmlPlacement::check(const QXmlStreamReader &reader, const QString &parent)
{
    const QStringRef name = reader.name();
    for (const Place &place : places()) {
        if (!osmtext::is(name, place.element))
            continue;
        for (QLatin1String allowed : place.parents)
            if (parent == allowed)
                return;
        if (count++ == 0)
            readerrules::say(log, Severity::Warning,
                             "    Ignored <" + osmtext::utf8(name) + "> (line " + std::to_string(reader.lineNumber()) +
                                 ") inside <" + parent.toStdString() + "> with all it holds: the format puts it " +
                                 whereItBelongs(place),
                             reader.lineNumber(), reader.columnNumber() + 1);
        return;
    }
}

void XmlPlacement::readToEnd(QXmlStreamReader &reader, std::vector<QString> &open, QLatin1String bottom)
{
    // An explicit stack rather than recursion: a hostile document may nest elements without bound.
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (open.empty())
                open.emplace_back(bottom);
            check(reader, open.back());
            open.push_back(reader.name().toString());
        } else if (token == QXmlStreamReader::EndElement) {
            if (open.size() <= 1)
                return;
            open.pop_back();
        }
    }
}
