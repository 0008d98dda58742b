#pragma once

#include <QString>

#include <chrono>

namespace tavrela {

/// How long connecting to the jingle database may take before it counts as failed. The
/// client's own default waits three minutes for a server that accepts and never answers.
inline constexpr std::chrono::seconds kJingleConnectTimeout{5};

/// The outcome of one connection attempt.
struct JingleProbeResult {
    bool connected = false;
    bool timedOut = false; ///< the attempt ran out of time (the server did not answer)
    QString reason;        ///< the database client's message when not connected
};

/// Connects to `database` through the Firebird client with `timeout` for the connection and
/// its first answer, and disconnects: tells whether the database can be reached now, without
/// waiting longer than that. Blocks the calling thread; safe to call on any thread.
JingleProbeResult probeJingleDatabase(const QString& database, const QString& userName,
                                      const QString& password,
                                      std::chrono::seconds timeout = kJingleConnectTimeout);

/// Attempts still running on a thread of their own after their caller stopped waiting (it
/// timed out or was cancelled). The program ends without waiting for them.
int abandonedJingleProbes();

/// Runs probeJingleDatabase() off the interface thread and waits for it with the interface
/// alive: a busy cursor at once, and after a moment a window saying that the database is being
/// connected, whose button (or a program-wide quit) cancels the wait. `cancelled` tells
/// whether the operator gave up; the attempt then goes on alone and its result is dropped.
JingleProbeResult probeJingleDatabaseWhileWaiting(const QString& database, const QString& userName,
                                                  const QString& password, bool& cancelled,
                                                  std::chrono::seconds timeout = kJingleConnectTimeout);

} // namespace tavrela
