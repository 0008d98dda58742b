#include "sample_thread.h"

#include "graph_display_core.h"

#include <QMetaObject>
#include <QObject>

namespace tavrela {

TSampleThread::TSampleThread(std::uint64_t Id, TGraphDisplayCore& Display, QObject* Sender,
                             QObject* MessageWindow, TGraphDisplayGraphItem& GraphItem,
                             TGraphDisplayNeedSamplesInThreadEvent Handler)
    : Id(Id), Display(Display), MessageWindow(MessageWindow),
      Packet(std::make_shared<TSamplesPacket>()), Sender(Sender), Handler(std::move(Handler)) {
    Packet->GraphItem = &GraphItem;
}

TSampleThread::~TSampleThread() {
    WaitFor();
}

void TSampleThread::Start() {
    Worker = std::thread([this] { Execute(); });
}

void TSampleThread::WaitFor() {
    if (Worker.joinable()) {
        Worker.join();
    }
}

void TSampleThread::Execute() {
    try {
        if (Handler) {
            Handler(Sender, Packet->GraphItem, Packet->Samples);
        }
    } catch (...) {
        // A failing handler delivers what it filled so far, like one that returned.
    }
    TGraphDisplayCore* display = &Display;
    if (!Terminated.load()) {
        std::shared_ptr<TSamplesPacket> packet = Packet;
        QMetaObject::invokeMethod(
            MessageWindow, [display, packet] { display->ReceiveSamplesPacket(*packet); },
            Qt::QueuedConnection);
    }
    const std::uint64_t id = Id;
    QMetaObject::invokeMethod(
        MessageWindow, [display, id] { display->SampleThreadFinished(id); }, Qt::QueuedConnection);
    Finished.store(true);
}

} // namespace tavrela
