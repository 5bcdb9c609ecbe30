#include "publictransportlines.h"

PublicTransportLines::~PublicTransportLines()
{
    for (PublicTransportLine *line : list)
        delete line;
}
