#include "item.h"

#include "display_owner.h"
#include "items.h"

#include <algorithm>
#include <limits>

namespace tavrela {

namespace {
// Starting value of the minimum searches: about the largest single-precision value.
constexpr double kMinSearchStart = 3.402823e38;
} // namespace

TGraphDisplayItem::TGraphDisplayItem(TGraphDisplayItems* AOwner) : Owner(AOwner) {
    SetXMax(1.0);
}

TGraphDisplayItem::~TGraphDisplayItem() {
    ReleaseRenderResources();
    // The members then go in reverse declaration order: caption, legend, axis (x, then y),
    // markers, curves (each with its own rendering references and samples).
}

void TGraphDisplayItem::ReleaseRenderResources() {
    Device.reset();
    VertexBufferCoords.reset();
    VertexBufferGridVertical.reset();
    VertexBufferSelection.reset();
    VertexBufferSelectionShade.reset();
    VertexBufferMarkers.reset();
    VertexBufferCursor.reset();
    BackgroundSurface.reset();
}

IGraphDisplayOwner* TGraphDisplayItem::Display() const {
    return Owner != nullptr ? Owner->Owner : nullptr;
}

void TGraphDisplayItem::SetXMax(double Value) {
    XMax = Value;
    SelectionEnd = Value;
    for (TGraphDisplayGraphItem& curve : GraphItems) {
        curve.SelectionEnd = Value;
    }
}

int TGraphDisplayItem::MaxPrimitiveCount() const {
    int result = 0;
    for (const TGraphDisplayGraphItem& curve : GraphItems) {
        result = std::max(result, curve.PrimitiveCount);
    }
    return result > 0 ? result : 1;
}

float TGraphDisplayItem::MaxAmplitudeRange() const {
    float result = 0.0f;
    for (const TGraphDisplayGraphItem& curve : GraphItems) {
        if (curve.AmplitudeRange > result) {
            result = curve.AmplitudeRange;
        }
    }
    return result;
}

float TGraphDisplayItem::MinAmplitudeRange() const {
    auto result = static_cast<float>(kMinSearchStart);
    for (const TGraphDisplayGraphItem& curve : GraphItems) {
        if (curve.AmplitudeRange < result) {
            result = curve.AmplitudeRange;
        }
    }
    return result;
}

double TGraphDisplayItem::MaxZoomFactor(int PanelWidth) const {
    std::size_t longest = 0;
    for (const TGraphDisplayGraphItem& graph : GraphItems) {
        longest = std::max(longest, graph.SampleCount());
    }
    if (longest == 0) {
        return std::numeric_limits<double>::infinity();
    }
    // At zoom 1 the longest curve spans the panel: a sample is PanelWidth / longest wide.
    const double width = PanelWidth > 0 ? PanelWidth : 1;
    return std::max(1.0, kMaxPixelsPerSample * static_cast<double>(longest) / width);
}

double TGraphDisplayItem::MinAmplitudeOffset() const {
    double result = kMinSearchStart;
    for (const TGraphDisplayGraphItem& curve : GraphItems) {
        if (curve.AmplitudeOffset < result) {
            result = curve.AmplitudeOffset;
        }
    }
    return result;
}

namespace {
int ScrollBarMax(const TGraphDisplayItem& item) {
    const IGraphDisplayOwner* display = item.Display();
    return display != nullptr ? display->StandardScrollBarMax() : kStandardScrollBarInitialMax;
}
} // namespace

// An empty range (XMax 0) or a bar without range has no meaningful ratio; the view then
// stays at the start instead of carrying a NaN into the view transform.
double TGraphDisplayItem::GetViewScrollPosition() const {
    if (XMax == 0.0) {
        return 0.0;
    }
    return ViewPosition / XMax * ScrollBarMax(*this);
}

void TGraphDisplayItem::SetViewScrollPosition(double Position) {
    const int max = ScrollBarMax(*this);
    ViewPosition = max != 0 ? Position / max * XMax : 0.0;
}

} // namespace tavrela
