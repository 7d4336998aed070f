#pragma once

#include "maps/page_text.h"

#include <QString>

namespace orvalis {

// Two POIs with a marker each, centred on the first. Texts are the boxes as typed.
QString TwoPoiPage(const MapAddresses &addresses, const QString &lat1, const QString &lon1, const QString &lat2,
                   const QString &lon2, const QString &title1, const QString &title2, const QString &zoom);

// The pair-of-routes page of the crossing tab: four markers and two geodesic lines.
QString CrossingPage(const MapAddresses &addresses, const QString (&lat)[4], const QString (&lon)[4],
                     const QString &zoom);

}  // namespace orvalis
