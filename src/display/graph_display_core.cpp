#include "graph_display_core.h"

#include "sample_thread.h"

#include <QMetaObject>

#include <algorithm>

namespace tavrela {

TGraphDisplayCore::TGraphDisplayCore() : FItems(std::make_unique<TGraphDisplayItems>(this)) {}

TGraphDisplayCore::~TGraphDisplayCore() {
    StopSampleThreads();
}

void TGraphDisplayCore::SetActiveIndex(int Value) {
    FActiveIndex = Value;
    if (Animate && Value >= 0 && Value < FItems->Count()) {
        SetupStartupAnim(Value);
    }
    UpdateScrollRange();
}

void TGraphDisplayCore::SetScrollBarType(TGraphDisplayScrollBarType Value) {
    FScrollBarType = Value;
}

bool TGraphDisplayCore::Initialize(int Index) {
    if (Animate) {
        SetupStartupAnim(Index);
    }
    if (!SampleInSeparateThread) {
        InitD3D(Index);
        InitializeGeometries(Index);
    }
    return true;
}

void TGraphDisplayCore::Clear() {
    FItems->Items(FActiveIndex); // no active pane: the list index error
    if (FDevice) {
        FDevice->Clear();
    }
}

void TGraphDisplayCore::StreamClose(int Index) {
    try {
        FItems->Delete(Index);
    } catch (...) {
        // closing a pane that is not there still releases the renderer below
    }
    D3DFree(false);
}

void TGraphDisplayCore::PauseStream(int Index) {
    if (OnPause) {
        OnPause(SelfObject(), &FItems->Items(Index));
    }
}

void TGraphDisplayCore::NotifyMarkerChange(TGraphDisplayItem& Item, TGraphDisplayMarker& Marker,
                                           TGraphDisplayMarkerChangeType Change) {
    if (OnMarkerChange) {
        OnMarkerChange(SelfObject(), &Item, &Marker, Change);
    }
}

int TGraphDisplayCore::StandardScrollBarMax() const {
    return StandardScrollBar().Max();
}

bool TGraphDisplayCore::InitializeGeometries(int Index) {
    return FDevice ? FDevice->InitializeGeometries(Index) : true;
}

// ---- sample thread

void TGraphDisplayCore::StartSampleThread(int Index, int GraphIndex) {
    WaitForSampleThread();
    TGraphDisplayGraphItem& curve = FItems->Items(Index).GraphItems.Items(GraphIndex);
    curve.Samples.SetLength(0);
    auto thread = std::make_unique<TSampleThread>(FNextThreadId++, *this, SelfObject(),
                                                  &MessageWindow, curve, OnNeedSamplesInThread);
    FSampleThread = thread.get();
    FThreads.push_back(std::move(thread));
    FSampleThread->Start();
}

void TGraphDisplayCore::WaitForSampleThread() {
    // The thread object stays owned here until its last message is handled, so the handle
    // waited on is always valid, also when the worker has already ended.
    if (FSampleThread != nullptr) {
        if (FSampleThread->Running()) {
            FSampleThread->Terminate();
        }
        FSampleThread->WaitFor();
    }
}

void TGraphDisplayCore::StopSampleThreads() {
    for (auto& t : FThreads) {
        t->Terminate();
    }
    for (auto& t : FThreads) {
        t->WaitFor();
    }
    FThreads.clear();
    FSampleThread = nullptr;
}

void TGraphDisplayCore::SampleThreadFinished(std::uint64_t Id) {
    if (FSampleThread != nullptr && FSampleThread->Id == Id) {
        FSampleThread = nullptr;
    }
    auto it = std::find_if(FThreads.begin(), FThreads.end(),
                           [Id](const std::unique_ptr<TSampleThread>& t) { return t->Id == Id; });
    if (it != FThreads.end()) {
        (*it)->WaitFor(); // already posting its last message: returns at once
        FThreads.erase(it);
    }
}

void TGraphDisplayCore::ReceiveSamplesPacket(TSamplesPacket& Packet) {
    // The host may have removed the curve while the worker ran: use it only if it still
    // belongs to one of the panes.
    TGraphDisplayItem* owner = nullptr;
    for (TGraphDisplayItem& item : *FItems) {
        for (TGraphDisplayGraphItem& curve : item.GraphItems) {
            if (&curve == Packet.GraphItem) {
                owner = &item;
            }
        }
    }
    if (owner == nullptr) {
        return;
    }
    TGraphDisplayGraphItem& curve = *Packet.GraphItem;
    try {
        if (!Packet.Samples.empty()) {
            const std::size_t n = Packet.Samples.Length();
            curve.Samples.SetLength(n);
            std::copy(Packet.Samples.begin(), Packet.Samples.end(), curve.Samples.begin());
            FProgress = 100;
            owner->SelectionEnd = static_cast<double>(n);
        }
        Initialize(owner->Index);
        if (OnSampleThreadFinished) {
            OnSampleThreadFinished(SelfObject(), &curve);
        }
    } catch (...) {
        // a queued call has no caller to report to
    }
}

std::size_t TGraphDisplayCore::SampleStorageBytes() const {
    std::size_t bytes = 0;
    for (const TGraphDisplayItem& item : *FItems) {
        for (const TGraphDisplayGraphItem& graph : item.GraphItems) {
            bytes += graph.Samples.ReservedBytes();
            bytes += graph.Summary ? graph.Summary->ReservedBytes() : 0;
        }
    }
    return bytes;
}

void TGraphDisplayCore::RequestFrame() {
    if (FDevice) {
        FDevice->Invalidate();
    }
    if (FRenderQueued) {
        return;
    }
    FRenderQueued = true;
    QMetaObject::invokeMethod(
        &MessageWindow, [this] { Render(); }, Qt::QueuedConnection);
}

void TGraphDisplayCore::PostProgress(int Value) {
    QMetaObject::invokeMethod(
        &MessageWindow, [this, Value] { FProgress = Value; }, Qt::QueuedConnection);
}

} // namespace tavrela
