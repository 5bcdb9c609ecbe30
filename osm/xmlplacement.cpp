#include "xmlplacement.h"

#include "readerrules.h"

#include <string>
#include <vector>

namespace {

/// An element of the format and the elements it belongs directly inside (none: only at the root).
struct Place
{
    std::string_view element;
    std::vector<std::string_view> parents;
};

const std::vector<Place> &places()
{
    static const std::vector<Place> all = {
        {"osm", {}},
        {"node", {"osm"}},
        {"way", {"osm"}},
        {"relation", {"osm"}},
        {"tag", {"node", "way", "relation", "changeset"}},
        {"nd", {"way"}},
        {"member", {"relation"}},
    };
    return all;
}

const Place *placeOf(std::string_view name)
{
    for (const Place &place : places())
        if (place.element == name)
            return &place;
    return nullptr;
}

std::string whereItBelongs(const Place &place)
{
    if (place.parents.empty())
        return "only as the root of the document";
    std::string text = "directly inside ";
    for (size_t i = 0; i < place.parents.size(); ++i) {
        if (i > 0)
            text += i + 1 == place.parents.size() ? " or " : ", ";
        text += '<' + std::string(place.parents[i]) + '>';
    }
    return text;
}

/// Whether the format puts `name` directly inside `parent`, or does not know `name`.
bool inPlace(std::string_view name, std::string_view parent)
{
    const Place *const place = placeOf(name);
    if (!place)
        return true;
    for (std::string_view allowed : place->parents)
        if (parent == allowed)
            return true;
    return false;
}

} // namespace

void XmlPlacement::check(std::string_view name, std::string_view parent, int64_t line, int64_t column)
{
    if (inPlace(name, parent))
        return;
    if (count++ == 0)
        readerrules::say(log, Severity::Warning,
                         "    Ignored <" + std::string(name) + "> (line " + std::to_string(line) + ") inside <" +
                             std::string(parent) + "> with all it holds: the format puts it " +
                             whereItBelongs(*placeOf(name)),
                         line, column);
}

void XmlPlacement::reportRest()
{
    if (count > 1)
        readerrules::say(log, Severity::Warning,
                         "    Ignored " + std::to_string(count - 1) + " more elements out of place");
}
