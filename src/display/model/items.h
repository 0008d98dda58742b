#pragma once

#include "item.h"
#include "list.h"

#include <QString>

namespace tavrela {

class IGraphDisplayOwner;

/// The panes of a display.
class TGraphDisplayItems : public TGraphDisplayList<TGraphDisplayItem, IGraphDisplayOwner> {
public:
    /// `AOwner` may be nullptr: a model without a display.
    explicit TGraphDisplayItems(IGraphDisplayOwner* AOwner) : TGraphDisplayList(AOwner) {}

    /// Appends a pane with default fields; the first pane of a display with no active pane
    /// becomes active (the index is stored without the side effects of activation).
    TGraphDisplayItem& Add();
    /// Clears the display's active index to -1, then frees every pane.
    void Clear();
    /// Frees the pane at `Index`, renumbers the rest and has the display repaint.
    /// Throws EListError.
    void Delete(int Index);

    /// Index of the first pane named exactly `Name`; -1 when `Name` is empty or none
    /// matches. Never throws.
    int FindItem(const QString& Name) const noexcept;
};

} // namespace tavrela
