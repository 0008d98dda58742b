#pragma once
// Test doubles for the display shell: a display whose device side is simulated (so device
// life-cycle rules can be checked without a renderer), and helpers that send raw events.
#include "display/graph_display_3d.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <vector>

namespace tavrela::testing {

/// What a simulated device was asked to do.
struct DeviceLog {
    bool Direct3D = false;
    bool FailDevice = false;
    std::vector<int> Created;    // pane index of every device creation
    std::vector<int> Geometries; // pane * 100 + curve of every geometry build
    int Frames = 0;
    int Released = 0;
    int Cleared = 0;
    std::vector<std::pair<float, float>> Bands; // selection bands rebuilt
};

/// A device side that succeeds (unless told otherwise) and gives the pane a device handle.
class FakeDevice : public IGraphDisplayDevice {
public:
    FakeDevice(TGraphDisplayCore& Display, DeviceLog& Log) : Display(Display), Log(Log) {}
    bool Direct3DExists() const override { return Log.Direct3D; }
    void ReleaseDirect3D() override {
        Log.Direct3D = false;
        ++Log.Released;
    }
    bool CreateDevice(int Index) override {
        Log.Direct3D = true;
        TGraphDisplayItem& item = Display.Items().Items(Index);
        item.Device.reset();
        if (Log.FailDevice) {
            return false;
        }
        item.Device = std::make_shared<TRenderResource>();
        Log.Created.push_back(Index);
        return true;
    }
    bool CreateVertexesFromSamples(int Index, int GraphIndex) override {
        Log.Geometries.push_back(Index * 100 + GraphIndex);
        return true;
    }
    void ClearDevice(TGraphDisplayItem&) override { ++Log.Cleared; }
    void CreateSelectionVertexes(TGraphDisplayItem&, TGraphDisplayGraphItem*, float Start,
                                 float End) override {
        Log.Bands.emplace_back(Start, End);
    }
    void Render() override { ++Log.Frames; }

private:
    TGraphDisplayCore& Display;
    DeviceLog& Log;
};

/// A display with a simulated device side.
class FakeDeviceDisplay : public TGraphDisplay3D {
public:
    explicit FakeDeviceDisplay(QWidget* parent = nullptr) : TGraphDisplay3D(parent) {
        SetDevice(std::make_unique<FakeDevice>(*this, Log));
    }
    DeviceLog Log;
    using TGraphDisplayCore::PanelState;
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

} // namespace tavrela::testing
