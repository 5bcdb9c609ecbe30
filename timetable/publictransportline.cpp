#include "publictransportline.h"

int32_t PublicTransportLine::vehicleTypeFromLineType(int32_t lineType)
{
    switch (lineType) {
    case 1:
        return TramLine;
    case 2:
        return TrolleybusLine;
    default:
        return BusLine;
    }
}
