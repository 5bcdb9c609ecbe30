#include "metatypes.h"

void registerMetaTypes()
{
    qRegisterMetaType<std::vector<QPoint>>("std::vector<QPoint>");
}
