#include "pane/FileLoader.h"

#include "pane/PaneMemory.h"
#include "io/EncodingDetect.h"
#include "io/MemoryRoom.h"

#include <QMetaObject>

#include <chrono>
#include <new>

namespace {

int StepDelayFromEnvironment() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VELM_LOAD_STEP_DELAY_MS", &ok);
    return ok && ms > 0 ? ms : 0;
}

} // namespace

int CFileLoader::s_stepDelayMs = StepDelayFromEnvironment();

CFileLoader::CFileLoader(QObject* parent) : QObject(parent) {}

CFileLoader::~CFileLoader() {
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
}

CFileLoader::Result CFileLoader::Load(const QString& path, const std::atomic<bool>& cancel,
                                      const std::function<void(int)>& percent,
                                      std::optional<io::Encoding> encoding) {
    Result result;
    auto cancelled = [&] {
        result = Result{};
        result.cancelled = true;
        return result;
    };
    try {
        QByteArray bytes;
        result.error = ReadWholeFile(path, bytes, &result.identity, [&](qint64 done, qint64 size) {
            if (cancel)
                return false;
            if (percent && size > 0)
                percent(int(done * 10 / size));
            return true;
        });
        if (cancel)
            return cancelled();
        if (result.error != FileError::None)
            return result;
        // Reading is the first tenth; decoding the rest.
        if (percent)
            percent(10);
        // Refused before anything is built when the pane could not hold it.
        const qint64 cost = EstimateOpenCost(bytes.size(), io::CountLines(bytes));
        if (!FitsInMemory(cost, io::Headroom(io::CurrentMemoryRoom()))) {
            result.error = FileError::TooLarge;
            return result;
        }
        const qsizetype total = bytes.size();
        int shown = 10; // detection may read the bytes more than once
        std::optional<codec::Detected> detected = codec::DetectAndDecode(
            bytes,
            [&](qsizetype done) {
                if (s_stepDelayMs > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(s_stepDelayMs));
                if (cancel)
                    return false;
                const int now = total > 0 ? 10 + int(qint64(done) * 90 / total) : 100;
                if (percent && now > shown)
                    percent(shown = now);
                return true;
            },
            encoding);
        if (!detected || cancel)
            return cancelled();
        bytes = QByteArray();
        result.text = std::move(detected->decoded.text);
        result.format = std::move(detected->decoded.format);
        result.rewritten = !detected->decoded.exact;
        result.declared = std::move(detected->declared);
        result.declaredEncoding = detected->declaredEncoding;
        if (percent)
            percent(100);
    } catch (const std::bad_alloc&) {
        result = Result{};
        result.error = FileError::TooLarge;
    }
    return result;
}

void CFileLoader::Start(const QString& path, std::optional<io::Encoding> encoding) {
    Q_ASSERT(!m_worker.joinable());
    m_worker = std::thread([this, path, encoding] {
        int last = -1;
        Result result = Load(path, m_cancel, [this, &last](int percent) {
            if (percent == last)
                return;
            last = percent;
            QMetaObject::invokeMethod(
                this, [this, percent] { emit progress(percent); }, Qt::QueuedConnection);
        }, encoding);
        // Handed over on the loader's thread, after the progress before it.
        QMetaObject::invokeMethod(
            this,
            [this, r = std::move(result)]() mutable {
                m_result = std::move(r);
                OnWorkerDone();
            },
            Qt::QueuedConnection);
    });
}

void CFileLoader::OnWorkerDone() {
    if (m_worker.joinable())
        m_worker.join();
    emit finished();
}
