#include "marker.h"

#include "display_owner.h"
#include "item.h"

namespace tavrela {

TGraphDisplayMarker& TGraphDisplayMarkers::Add() {
    TGraphDisplayMarker& marker = Append(std::make_unique<TGraphDisplayMarker>(this));
    if (Owner != nullptr) {
        if (IGraphDisplayOwner* display = Owner->Display()) {
            display->NotifyMarkerChange(*Owner, marker, gdmctAdd);
        }
    }
    return marker;
}

} // namespace tavrela
