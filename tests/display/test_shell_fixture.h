#pragma once
// Test doubles for the display shell: the display logic on the real scroll bars with a
// simulated device and a fixed panel size (no window), and helpers that send raw events.
#include "display/graph_display_3d.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <vector>

namespace tavrela::testing {

/// What a simulated device was asked to do.
struct DeviceLog {
    bool Direct3D = false;
    bool Initialized = false;
    int Frames = 0;
    int Bands = 0;      // pane selection bands rebuilt
    int CurveBands = 0; // curve selection bands rebuilt
};

/// A device side that exists and draws nothing.
class FakeDevice : public IGraphDisplayDevice {
public:
    explicit FakeDevice(DeviceLog& Log) : Log(Log) {}
    bool InitD3D(int Index) override {
        Log.Direct3D = Log.Initialized = Index >= 0;
        return Log.Initialized;
    }
    void D3DFree(bool) override {}
    void PanelResize() override {}
    bool InitializeGeometries(int) override { return true; }
    bool D3DInitialized() const override { return Log.Initialized; }
    bool HasDirect3D() const override { return Log.Direct3D; }
    void Clear() override {}
    void UpdateSelection() override { ++Log.Bands; }
    void UpdateGraphItemSelection(TGraphDisplayGraphItem&) override { ++Log.CurveBands; }
    bool SetupStartupAnim(int) override { return true; }
    void Render() override { ++Log.Frames; }

private:
    DeviceLog& Log;
};

/// The display's logic without its widget: real scroll bars (never shown), a panel of a
/// given size, senders that tests can recognise.
class TestDisplay : public TGraphDisplayCore {
public:
    explicit TestDisplay(int Width = 600, int Height = 200) : Width(Width), Height(Height) {
        Standard.OnChange = [this](QObject*) { ScrollBarChange(); };
        Flat.OnChange = [this](QObject*) { ScrollBarChange(); };
        SetDevice(std::make_unique<FakeDevice>(Log));
        Log.Direct3D = true;
    }

    /// A pane with `Curves` curves over 0 … XMax.
    TGraphDisplayItem& AddPane(double XMax, int Curves = 0) {
        TGraphDisplayItem& item = Items().Add();
        for (int i = 0; i < Curves; ++i) {
            item.GraphItems.Add().Channel = i;
        }
        item.ChannelCount = Curves;
        item.SetXMax(XMax);
        return item;
    }

    /// Sets the active pane's zoom and adapts the scroll range, as a zoom operation does.
    void ZoomTo(double Zoom) {
        Items()[ActiveIndex()].ZoomFactor = Zoom;
        UpdateScrollRange();
    }

    int Width;
    int Height;
    DeviceLog Log;
    TPanelDragState State;
    std::vector<TPanelCursor> Cursors;
    int Focused = 0;
    QObject Self;
    QObject Parent;
    QObject PanelSender;
    TSampleScrollBar Standard{this};
    TSampleFlatScrollBar Flat{this};

    using TGraphDisplayCore::PanelResize;

protected:
    IScrollBarControl& StandardScrollBar() override { return Standard; }
    const IScrollBarControl& StandardScrollBar() const override { return Standard; }
    IScrollBarControl& FlatScrollBarControl() override { return Flat; }
    int PanelWidth() const override { return Width; }
    int PanelHeight() const override { return Height; }
    TPanelDragState& PanelState() override { return State; }
    void SetPanelCursor(TPanelCursor Cursor) override { Cursors.push_back(Cursor); }
    QObject* SelfObject() override { return &Self; }
    QObject* ParentObject() override { return &Parent; }
    QObject* PanelObject() override { return &PanelSender; }
    void FocusKeyTarget() override { ++Focused; }
};

inline void sendMouse(QWidget& w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(pos), w.mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}
inline void press(QWidget& w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
    sendMouse(w, QEvent::MouseButtonPress, p, b, b);
}
inline void release(QWidget& w, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
    sendMouse(w, QEvent::MouseButtonRelease, p, b, Qt::NoButton);
}
inline void move(QWidget& w, QPoint p, Qt::MouseButtons held = Qt::NoButton) {
    sendMouse(w, QEvent::MouseMove, p, Qt::NoButton, held);
}
inline void doubleClick(QWidget& w, QPoint p) {
    sendMouse(w, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
}
inline void wheel(QWidget& w, int delta, QPoint p = QPoint(5, 5)) {
    QWheelEvent e(QPointF(p), w.mapToGlobal(QPointF(p)), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &e);
}
inline void leave(QWidget& w) {
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(&w, &e);
}
inline void key(QWidget& w, int qtKey, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent e(QEvent::KeyPress, qtKey, mods);
    QApplication::sendEvent(&w, &e);
}

} // namespace tavrela::testing
