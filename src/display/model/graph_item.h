#pragma once

#include "graph_data.h"
#include "list.h"
#include "render_resource.h"
#include "sample_summary.h"
#include "types.h"

#include <QString>

#include <cstddef>
#include <memory>

namespace tavrela {

class TGraphDisplayItem;
class TGraphDisplayGraphItems;

/// One curve of a pane (one audio channel in the editor) with its samples.
class TGraphDisplayGraphItem {
public:
    explicit TGraphDisplayGraphItem(TGraphDisplayGraphItems* AOwner) : Owner(AOwner) {}
    TGraphDisplayGraphItem(const TGraphDisplayGraphItem&) = delete;
    TGraphDisplayGraphItem& operator=(const TGraphDisplayGraphItem&) = delete;
    ~TGraphDisplayGraphItem();

    double XOffset = 0.0;         ///< horizontal shift added to the view translation
    QString Caption;              ///< legend text
    std::uint8_t ColorMode = 0;   ///< 0 = curve colours, 1 = colours from each sample
    TColor Color = 0x00BB00;      ///< line colour; for bars the colour at the value end
    TColor BaseColor = 0;         ///< for bars the colour at the baseline end
    int Index = 0;                ///< position in its collection
    int Channel = 0;              ///< lane number (0-based) in display mode 4
    TGraphData Samples;           ///< the samples (may stay empty when Summary is given)
    /// The minimum/maximum summary the picture is drawn from. Built from Samples by every
    /// geometry build when Samples holds any; a host that keeps no samples in memory
    /// supplies it instead and answers for the samples of a range on demand.
    std::shared_ptr<const TSampleSummary> Summary;
    int PrimitiveType = 3;        ///< 3 = line strip, 4 = two triangles per sample (bars)
    std::uint8_t DisplayMode = 0; ///< 0 = the pane's; 1-4 override it
    std::uint8_t Half = 0;        ///< lane in display mode 3: 0 upper, 1 lower
    bool Visible = true;
    double SelectionStart = 0.0; ///< own selection (pane SelectionMode 1)
    double SelectionEnd = 0.0;
    TRenderHandle VertexBufferSamples;        ///< the curve's geometry
    TRenderHandle VertexBufferSelection;      ///< own selection band (10 vertices)
    TRenderHandle VertexBufferSelectionShade; ///< own selection shade (6 vertices)
    int PrimitiveCount = 0;       ///< primitives in VertexBufferSamples (0 = nothing drawn)
    float AmplitudeRange = 1.0f;  ///< value span filling the lane, set by the geometry builder
    double AmplitudeOffset = 0.0; ///< subtracted from every sample, set by the geometry builder
    /// Samples per half vertex unit: sample m sits at vertex x m / (2 SampleStep). Set by the
    /// geometry builder with PrimitiveCount.
    float SampleStep = 1.0f;

    /// Samples the curve stands for: the summary's length, or the array's without one.
    std::size_t SampleCount() const {
        return Summary ? Summary->Length() : Samples.Length();
    }

    TGraphDisplayGraphItems* const Owner;
    /// The pane this curve belongs to (nullptr for a curve outside any pane).
    TGraphDisplayItem* Item() const;
};

/// The curves of a pane.
class TGraphDisplayGraphItems
    : public TGraphDisplayList<TGraphDisplayGraphItem, TGraphDisplayItem> {
public:
    explicit TGraphDisplayGraphItems(TGraphDisplayItem* AOwner) : TGraphDisplayList(AOwner) {}

    /// Appends a curve with default fields and returns it.
    TGraphDisplayGraphItem& Add();
    /// Frees every curve.
    void Clear() { FreeAll(); }
};

} // namespace tavrela
