#pragma once
// A worker that asks the host for one curve's samples off the user-interface thread and
// hands them back through queued calls on the display's message object.
#include "display/model/model.h"
#include "graph_display_events.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

class QObject;

namespace tavrela {

class TGraphDisplayCore;

class TSampleThread {
public:
    /// Prepared, not started. `Handler` is the host's handler as it was when the request was
    /// made: the worker never reads the display's event fields.
    TSampleThread(std::uint64_t Id, TGraphDisplayCore& Display, QObject* Sender,
                  QObject* MessageWindow, TGraphDisplayGraphItem& GraphItem,
                  TGraphDisplayNeedSamplesInThreadEvent Handler);
    TSampleThread(const TSampleThread&) = delete;
    TSampleThread& operator=(const TSampleThread&) = delete;
    /// Joins the worker (the handler call is not interrupted).
    ~TSampleThread();

    void Start();
    /// The packet is not delivered once the handler returns; the end is still reported.
    void Terminate() { Terminated.store(true); }
    /// Whether termination was asked for; a long handler may poll it to give up early.
    bool TerminationRequested() const { return Terminated.load(); }
    /// Waits for the worker to end; safe to call more than once.
    void WaitFor();
    bool Running() const { return !Finished.load(); }

    const std::uint64_t Id;
    TGraphDisplayCore& Display;
    QObject* const MessageWindow;
    std::shared_ptr<TSamplesPacket> Packet;

private:
    void Execute();

    QObject* const Sender;
    TGraphDisplayNeedSamplesInThreadEvent Handler;
    std::atomic<bool> Terminated{false};
    std::atomic<bool> Finished{false};
    std::thread Worker;
};

} // namespace tavrela
