#include "graph_item.h"

#include "item.h"

namespace tavrela {

TGraphDisplayGraphItem::~TGraphDisplayGraphItem() {
    // Rendering references go before the samples, in the order they were made.
    VertexBufferSamples.reset();
    VertexBufferSelection.reset();
    VertexBufferSelectionShade.reset();
}

TGraphDisplayItem* TGraphDisplayGraphItem::Item() const {
    return Owner != nullptr ? Owner->Owner : nullptr;
}

TGraphDisplayGraphItem& TGraphDisplayGraphItems::Add() {
    return Append(std::make_unique<TGraphDisplayGraphItem>(this));
}

} // namespace tavrela
