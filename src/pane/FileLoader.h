#pragma once

// pane: the pane's text model, with no widget. May include io and res.

#include "io/FileIo.h"
#include "io/FileState.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

// Reads and decodes a file on a worker thread: the whole file (in steps),
// the check that the pane could hold it, then the decoding in steps; a
// cancel is seen between steps. Progress and the end come back to the
// loader's thread as queued signals.
class CFileLoader : public QObject {
    Q_OBJECT

public:
    struct Result {
        // None, the cause of a failure, or nothing (`cancelled`).
        FileError error = FileError::None;
        bool cancelled = false;
        QString text;
        io::FileIdentity identity;
        io::TextFormat format; // the encoding among it
        // The encoding the page declares: its name, and the encoding when
        // it is one we have (see codec::DetectAndDecode).
        QString declared;
        std::optional<io::Encoding> declaredEncoding;
        // Saving the text unchanged writes other bytes (ISO-2022-JP escapes
        // written the usual way, a byte-order mark added).
        bool rewritten = false;
    };

    explicit CFileLoader(QObject* parent = nullptr);
    // Cancels a load still running and waits for its worker.
    ~CFileLoader() override;

    // Starts reading `path`, in `encoding` or the one detected; one load
    // per loader.
    void Start(const QString& path, std::optional<io::Encoding> encoding = std::nullopt);
    // Asks the worker to stop (before Start: stops it at once); `finished`
    // still comes.
    void Cancel() { m_cancel = true; }
    bool IsRunning() const { return m_worker.joinable(); }
    // What the load gave, once `finished` came.
    Result TakeResult() { return std::move(m_result); }

    // The whole work done by the worker, as it runs there; for callers
    // that need no thread. `percent` is called with 0..100.
    static Result Load(const QString& path, const std::atomic<bool>& cancel,
                       const std::function<void(int percent)>& percent,
                       std::optional<io::Encoding> encoding = std::nullopt);

    // For tests: waited after each decoding step, in milliseconds. The
    // program takes it from VELM_LOAD_STEP_DELAY_MS (end-to-end tests of a
    // slow load).
    static int s_stepDelayMs;

signals:
    // Percent of the file read and decoded, rising.
    void progress(int percent);
    // The worker is done (see TakeResult).
    void finished();

private:
    void OnWorkerDone();

    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    Result m_result;
};
