// Pointer and key reactions of the display. The host's event always runs first; whatever it
// throws (the silent abort in particular) ends the message there, so a host can veto the
// display's own reaction. Nothing escapes a message handler.
#include "graph_display_core.h"

#include <algorithm>

namespace tavrela {

namespace {

// Runs one message handler's work and swallows whatever it throws.
template <typename F> void trapped(F&& work) {
    try {
        work();
    } catch (...) {
        // a message handler has no caller to report to
    }
}

// The panel keeps the pointer while a button is held, so columns left of it arrive negative.
// As an unsigned column they would land far beyond the range's end and a leftward drag would
// jump to the right; they are taken as the panel's left edge instead.
std::uint32_t PanelColumn(int X) {
    return X < 0 ? 0u : static_cast<std::uint32_t>(X);
}

// Every position the pointer sets (a selection edge, a dragged marker, a quick-play start)
// lies in the file: the columns around the panel map beyond its ends.
double InRange(double Value, double XMax) {
    return std::clamp(Value, 0.0, std::max(0.0, XMax));
}

} // namespace

// ---- marker hover

void TGraphDisplayCore::UpdateMarkerHover(TGraphDisplayItem& Item, double Value, double Tolerance) {
    FHoverMarkerIndex = -1;
    const double reach = -Tolerance;
    for (TGraphDisplayMarker& marker : Item.Markers) {
        const double x = static_cast<float>(marker.X);
        if (Value - reach < x && x < Value + reach) {
            FHoverMarkerIndex = marker.Index;
            SetPanelCursor(crHSplit);
            NotifyMarkerChange(Item, marker, gdmctHover);
            return;
        }
        SetPanelCursor(crDefault);
        NotifyMarkerChange(Item, marker, gdmctLeave);
    }
}

// ---- selection edits

void TGraphDisplayCore::SelectionStartFromPointer(TGraphDisplayItem& Item, double Value, int Y) {
    if (Item.SelectionMode == 0) {
        Item.SelectionStart = Value > Item.SelectionEnd ? Item.SelectionEnd : Value;
        UpdateSelection(true);
    } else if (Item.SelectionMode == 1) {
        TGraphDisplayGraphItem& curve =
            Item.GraphItems.Items(MousePosition2Index(static_cast<std::uint32_t>(Y)));
        curve.SelectionStart = Value > curve.SelectionEnd ? curve.SelectionEnd : Value;
        UpdateGraphItemSelection(true, curve);
    }
}

void TGraphDisplayCore::SelectionEndFromPointer(TGraphDisplayItem& Item, double Value, int Y) {
    if (Item.SelectionMode == 0) {
        Item.SelectionEnd = Value < Item.SelectionStart ? Item.SelectionStart : Value;
        UpdateSelection(true);
    } else if (Item.SelectionMode == 1) {
        TGraphDisplayGraphItem& curve =
            Item.GraphItems.Items(MousePosition2Index(static_cast<std::uint32_t>(Y)));
        curve.SelectionEnd = Value < curve.SelectionStart ? curve.SelectionStart : Value;
        UpdateGraphItemSelection(true, curve);
    }
}

void TGraphDisplayCore::UpdateSelection(bool Notify) {
    trapped([&] {
        TGraphDisplayItem& item = ActiveItem();
        if (FDevice) {
            FDevice->UpdateSelection();
        }
        if (Notify && OnSelection) {
            OnSelection(SelfObject(), &item, nullptr);
        }
    });
}

void TGraphDisplayCore::UpdateGraphItemSelection(bool Notify, TGraphDisplayGraphItem& GraphItem) {
    trapped([&] {
        TGraphDisplayItem& item = ActiveItem();
        if (FDevice) {
            FDevice->UpdateGraphItemSelection(GraphItem);
        }
        if (Notify && OnSelection) {
            OnSelection(SelfObject(), &item, &GraphItem);
        }
    });
}

// ---- reactions

void TGraphDisplayCore::HandleMouseDown(TMouseButton Button, int X, int Y) {
    trapped([&] {
        TGraphDisplayItem& item = ActiveItem();
        const double value = InRange(MousePosition2XValue(PanelColumn(X)), item.XMax);
        TPanelDragState& state = PanelState();
        switch (Button) {
        case mbLeft:
            state.LeftButtonDown = true;
            if (FHoverMarkerIndex >= 0) {
                // The marker under the press is held until the release: moves arrive merged
                // and late, so the first one handled can lie far from the marker, and testing
                // the hover again there would lose it. It moves with the first move.
                state.MarkerDragging = true;
            } else if (AllowSelect) {
                SelectionStartFromPointer(item, value, Y);
            }
            break;
        case mbRight:
            state.RightButtonDown = true;
            if (FHoverMarkerIndex >= 0) {
                const int index = static_cast<int>(FHoverMarkerIndex);
                TGraphDisplayMarker& marker = item.Markers.Items(index);
                NotifyMarkerChange(item, marker, gdmctDelete);
                item.Markers.Delete(index);
                FHoverMarkerIndex = -1;
                state.RightButtonDown = false;
            } else if (AllowSelect) {
                SelectionEndFromPointer(item, value, Y);
            }
            break;
        case mbMiddle:
            if (AllowQuickPlay && OnPlay) {
                const double at = FHoverMarkerIndex >= 0
                                      ? item.Markers.Items(static_cast<int>(FHoverMarkerIndex)).X
                                      : value;
                OnPlay(SelfObject(), &item, InRange(at, item.XMax));
            }
            break;
        }
    });
}

void TGraphDisplayCore::HandleMouseMove(int X, int Y) {
    TGraphDisplayItem& item = ActiveItem();
    const double value = InRange(MousePosition2XValue(PanelColumn(X)), item.XMax);
    TPanelDragState& state = PanelState();
    if (state.LeftButtonDown) {
        if (FHoverMarkerIndex == -1) {
            if (AllowSelect) {
                state.SelectionDragging = true;
                SelectionStartFromPointer(item, value, Y);
            }
        } else {
            // Hover stays frozen while dragging, so the same marker follows the pointer.
            state.MarkerDragging = true;
            TGraphDisplayMarker& marker = item.Markers.Items(static_cast<int>(FHoverMarkerIndex));
            marker.X = value;
            NotifyMarkerChange(item, marker, gdmctMove);
        }
    }
    if (state.RightButtonDown && AllowSelect) {
        state.SelectionDragging = true;
        SelectionEndFromPointer(item, value, Y);
    }
}

// ---- messages of the panel

void TGraphDisplayCore::PanelMouseMove(int X, int Y) {
    trapped([&] {
        if (FDevice && FDevice->HasDirect3D()) {
            const TPanelDragState& state = PanelState();
            const int width = PanelWidth();
            if ((state.LeftButtonDown || state.RightButtonDown) && (X < 0 || X >= width)) {
                // The panel keeps the pointer while a button is held, so no leave comes: a
                // drag that left the panel sideways ends here, at the panel's edge.
                HandleMouseMove(X < 0 ? 0 : width, Y);
                EndDragOutside();
            } else {
                HandleMouseMove(X, Y);
            }
        }
        if (OnMouseMove) {
            OnMouseMove(ParentObject(), X, Y);
        }
        // A mere move never takes the keys from a text field the operator is typing in.
        if (MayTakeFocusOnMove()) {
            FocusKeyTarget();
        }
    });
}

void TGraphDisplayCore::EndDragOutside() {
    PanelState() = TPanelDragState{};
    FHoverMarkerIndex = -1;
}

void TGraphDisplayCore::PanelMouseDown(TMouseButton Button, int X, int Y) {
    trapped([&] {
        FocusKeyTarget(); // a click in the display gives it the keys
        if (OnMouseDown) {
            OnMouseDown(ParentObject(), Button, X, Y);
        }
        HandleMouseDown(Button, X, Y);
    });
}

void TGraphDisplayCore::PanelMouseUp(TMouseButton Button, int X, int Y) {
    if (Button == mbMiddle) {
        return;
    }
    trapped([&] {
        TPanelDragState& state = PanelState();
        state.MarkerDragging = false;
        state.SelectionDragging = false;
        if (Button == mbLeft) {
            state.LeftButtonDown = false;
        } else {
            state.RightButtonDown = false;
        }
        if (OnMouseUp) {
            OnMouseUp(SelfObject(), Button, X, Y);
        }
    });
}

void TGraphDisplayCore::PanelDblClick(int X, int Y) {
    trapped([&] {
        TGraphDisplayItem* item = nullptr;
        TGraphDisplayMarker* marker = nullptr;
        if (FItems->Count() > 0 && FActiveIndex < FItems->Count()) {
            item = &ActiveItem();
            if (FHoverMarkerIndex >= 0) {
                marker = &item->Markers.Items(static_cast<int>(FHoverMarkerIndex));
            }
        }
        if (OnDblClick) {
            OnDblClick(SelfObject(), X, Y, item, marker);
        }
    });
}

void TGraphDisplayCore::PanelMouseLeave() {
    EndDragOutside();
}

void TGraphDisplayCore::MouseWheel(QObject* Sender, int WheelDelta, int PanelX) {
    trapped([&] {
        auto delta = static_cast<std::int16_t>(WheelDelta);
        if (OnMouseWheel) {
            OnMouseWheel(Sender, delta);
        }
        if (AllowWheelZoom) {
            ZoomStepAt(delta, PanelX);
        }
    });
}

void TGraphDisplayCore::HorizontalWheel(int DeltaX) {
    trapped([&] { WheelScroll(DeltaX); });
}

std::uint16_t TGraphDisplayCore::ScrollBarKeyDown(QObject* ScrollBarObject,
                                                  std::uint16_t CharCode) {
    if (FActiveIndex < 0 || FActiveIndex >= FItems->Count()) {
        return CharCode;
    }
    trapped([&] {
        if (OnKeyDown) {
            OnKeyDown(ParentObject(), CharCode);
        }
        TGraphDisplayItem& item = ActiveItem();
        if (CharCode == VK_SUBTRACT_KEY && AllowAmplitudeChangeWithKey) {
            item.AmplitudeFactor = static_cast<float>(item.AmplitudeFactor - 0.2);
        }
        if (CharCode == VK_ADD_KEY && AllowAmplitudeChangeWithKey) {
            item.AmplitudeFactor = static_cast<float>(item.AmplitudeFactor + 0.2);
        }
        if (CharCode == VK_SPACE_KEY && AllowQuickPlay) {
            const TGraphDisplayPlayStatus status =
                OnNeedPlayStatus ? OnNeedPlayStatus(ScrollBarObject, &item) : gdpsStoped;
            switch (status) {
            case gdpsStoped:
                if (OnPlay) {
                    OnPlay(ScrollBarObject, &item, item.SelectionStart);
                }
                break;
            case gdpsPlaying:
            case gdpsPaused:
                // the host decides whether that pauses or resumes
                if (OnPause) {
                    OnPause(ScrollBarObject, &item);
                }
                break;
            case gdpsRecording:
                break;
            }
        }
        // Handled here on the bar in use, so the standard bar's own handling must not
        // move it a second time (nor move the hidden bar while the flat one is shown).
        if (NavigationKey(CharCode)) {
            CharCode = 0;
        }
    });
    return CharCode;
}

// ---- messages of the logo picture: reported, no reaction of the display

void TGraphDisplayCore::PictureMouseDown(TMouseButton Button, int X, int Y) {
    trapped([&] {
        if (OnMouseDown) {
            OnMouseDown(Button == mbLeft ? SelfObject() : PanelObject(), Button, X, Y);
        }
    });
}

void TGraphDisplayCore::PictureMouseUp(TMouseButton Button, int X, int Y) {
    if (Button == mbMiddle) {
        return;
    }
    trapped([&] {
        if (OnMouseUp) {
            OnMouseUp(Button == mbLeft ? SelfObject() : PanelObject(), Button, X, Y);
        }
    });
}

void TGraphDisplayCore::PictureMouseMove(int X, int Y) {
    trapped([&] {
        if (OnMouseMove) {
            OnMouseMove(SelfObject(), X, Y);
        }
    });
}

void TGraphDisplayCore::PictureDblClick(int X, int Y) {
    trapped([&] {
        if (OnDblClick) {
            OnDblClick(SelfObject(), X, Y, nullptr, nullptr);
        }
    });
}

void TGraphDisplayCore::PictureMouseWheel(int WheelDelta) {
    trapped([&] {
        auto delta = static_cast<std::int16_t>(WheelDelta);
        if (OnMouseWheel) {
            OnMouseWheel(PanelObject(), delta);
        }
    });
}

void TGraphDisplayCore::PictureKeyDown(std::uint16_t CharCode) {
    trapped([&] {
        if (OnKeyDown) {
            OnKeyDown(PanelObject(), CharCode);
        }
    });
}

} // namespace tavrela
