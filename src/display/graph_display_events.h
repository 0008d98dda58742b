#pragma once
// Event types of the waveform display. Each is called only when assigned; the first
// argument is the sender, which differs between events and sources.
#include "display/model/model.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

class QObject;

namespace tavrela {

enum TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };

/// Pointer shapes the display sets on its panel.
enum TPanelCursor : std::uint8_t { crDefault, crHSplit };

/// Virtual key codes the key event carries (the host may change them).
inline constexpr std::uint16_t VK_SPACE_KEY = 32;
inline constexpr std::uint16_t VK_ADD_KEY = 107;      // numeric-pad plus
inline constexpr std::uint16_t VK_SUBTRACT_KEY = 109; // numeric-pad minus
inline constexpr std::uint16_t VK_PRIOR_KEY = 33;      // page up
inline constexpr std::uint16_t VK_NEXT_KEY = 34;       // page down
inline constexpr std::uint16_t VK_END_KEY = 35;
inline constexpr std::uint16_t VK_HOME_KEY = 36;
inline constexpr std::uint16_t VK_LEFT_KEY = 37;
inline constexpr std::uint16_t VK_UP_KEY = 38;
inline constexpr std::uint16_t VK_RIGHT_KEY = 39;
inline constexpr std::uint16_t VK_DOWN_KEY = 40;
inline constexpr std::uint16_t VK_OEM_PLUS_KEY = 187;  // the main keyboard's "=" / "+" key
inline constexpr std::uint16_t VK_OEM_MINUS_KEY = 189; // the main keyboard's "-" key

using TGraphDisplayNotifyEvent = std::function<void(QObject* Sender)>;
using TGraphDisplaySelectionEvent =
    std::function<void(QObject* Sender, TGraphDisplayItem* GraphDisplayItem,
                       TGraphDisplayGraphItem* GraphDisplayGraphItem)>;
using TGraphDisplayMarkerChangeEvent =
    std::function<void(QObject* Sender, TGraphDisplayItem* GraphDisplayItem,
                       TGraphDisplayMarker* Marker, TGraphDisplayMarkerChangeType Change)>;
using TGraphDisplayGraphItemEvent =
    std::function<void(QObject* Sender, TGraphDisplayItem* GraphDisplayItem,
                       TGraphDisplayGraphItem* GraphDisplayGraphItem)>;
using TGraphDisplayItemEvent =
    std::function<void(QObject* Sender, TGraphDisplayItem* GraphDisplayItem)>;
using TGraphDisplayMouseEvent =
    std::function<void(QObject* Sender, TMouseButton Button, int X, int Y)>;
using TGraphDisplayMouseMoveEvent = std::function<void(QObject* Sender, int X, int Y)>;
using TGraphDisplayMouseWheelEvent = std::function<void(QObject* Sender, std::int16_t& WheelDelta)>;
using TGraphDisplayDblClickEvent =
    std::function<void(QObject* Sender, int X, int Y, TGraphDisplayItem* GraphDisplayItem,
                       TGraphDisplayMarker* Marker)>;
using TGraphDisplayKeyDownEvent = std::function<void(QObject* Sender, std::uint16_t& CharCode)>;
using TGraphDisplayPlayEvent =
    std::function<void(QObject* Sender, TGraphDisplayItem* GraphDisplayItem, double Position)>;
using TGraphDisplayNeedPlaybackPositionEvent =
    std::function<double(QObject* Sender, TGraphDisplayItem* GraphDisplayItem)>;
using TGraphDisplayNeedPlayStatusEvent =
    std::function<TGraphDisplayPlayStatus(QObject* Sender, TGraphDisplayItem* GraphDisplayItem)>;
using TGraphDisplayNeedAxisTextEvent =
    std::function<QString(QObject* Sender, TGraphDisplayItem* GraphDisplayItem, double Value)>;
/// A short text drawn beside a marker's line; empty for none.
using TGraphDisplayNeedMarkerTextEvent = std::function<QString(
    QObject* Sender, TGraphDisplayItem* GraphDisplayItem, TGraphDisplayMarker* Marker)>;
using TGraphDisplaySampleThreadFinishedEvent =
    std::function<void(QObject* Sender, TGraphDisplayGraphItem* GraphDisplayGraphItem)>;
/// Runs on the sample thread; the handler fills `Samples`, which reaches the curve on the
/// user-interface thread.
using TGraphDisplayNeedSamplesInThreadEvent = std::function<void(
    QObject* Sender, TGraphDisplayGraphItem* GraphDisplayGraphItem, TGraphData& Samples)>;

/// Fills Out with the values of samples First ... First + Count - 1 of a curve that keeps only
/// its summary (deep zoom needs them); returns how many it filled.
using TGraphDisplayNeedSampleRangeEvent =
    std::function<std::size_t(QObject* Sender, TGraphDisplayItem* GraphDisplayItem,
                              TGraphDisplayGraphItem* GraphDisplayGraphItem, std::size_t First,
                              float* Out, std::size_t Count)>;

/// The display's published events.
struct TGraphDisplayEvents {
    TGraphDisplaySelectionEvent OnSelection;
    TGraphDisplayMarkerChangeEvent OnMarkerChange;
    TGraphDisplayGraphItemEvent OnNeedSamples;
    TGraphDisplayNeedSampleRangeEvent OnNeedSampleRange;
    TGraphDisplayItemEvent BeforeD3DRender;
    TGraphDisplayItemEvent AfterD3DRender;
    TGraphDisplayItemEvent BeforeD3DSamplesRender;
    TGraphDisplayItemEvent AfterD3DSamplesRender;
    TGraphDisplayNotifyEvent OnD3DDestroy;
    TGraphDisplayMouseEvent OnMouseDown;
    TGraphDisplayMouseEvent OnMouseUp;
    TGraphDisplayMouseMoveEvent OnMouseMove;
    TGraphDisplayMouseWheelEvent OnMouseWheel;
    TGraphDisplayDblClickEvent OnDblClick;
    TGraphDisplayKeyDownEvent OnKeyDown;
    TGraphDisplayPlayEvent OnPlay;
    TGraphDisplayItemEvent OnPause;
    TGraphDisplayNeedPlaybackPositionEvent OnNeedPlaybackPosition;
    TGraphDisplayNeedPlayStatusEvent OnNeedPlayStatus;
    TGraphDisplayNeedAxisTextEvent OnNeedAxisXText;
    TGraphDisplayNeedAxisTextEvent OnNeedAxisYText;
    TGraphDisplayNeedMarkerTextEvent OnNeedMarkerText;
    TGraphDisplaySampleThreadFinishedEvent OnSampleThreadFinished;
    TGraphDisplayNeedSamplesInThreadEvent OnNeedSamplesInThread;
};

} // namespace tavrela
