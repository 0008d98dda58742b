#pragma once

#include "graph_data.h"

namespace tavrela {

class TGraphDisplayGraphItem;

/// Samples fetched on the sample thread for one curve, handed to the user-interface
/// thread. Whoever receives the packet owns it.
struct TSamplesPacket {
    TGraphDisplayGraphItem* GraphItem = nullptr; ///< the curve the samples are for
    TGraphData Samples;
};

} // namespace tavrela
