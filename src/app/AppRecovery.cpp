// The application's part in recovery: the journals offered at start and
// before a file opens, and the end on a termination signal.

#include "app/CEditorApp.h"

#include "app/RecentFileList.h"
#include "doc/CEditorDoc.h"
#include "app/CRecoveryKeeper.h"
#include "doc/UiServices.h"
#include "io/FileIo.h"
#include "io/FileNames.h"
#include "io/RecoveryJournal.h"
#include "res/StringTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

QString DisplayName(const io::Journal& journal) {
    return journal.path.isEmpty() ? res::LoadString(res::IDS_UNTITLED)
                                  : QDir::toNativeSeparators(journal.path);
}

} // namespace

void CEditorApp::SettleInterruptedSaves() {
    for (const io::SettledSave& settled : io::SettleInterruptedSaves(m_keeper->Folder())) {
        // The journals of the file take it as it is now: what the
        // interrupted save did is no change by another program.
        for (const QString& file : io::ListJournalFiles(m_keeper->Folder(), settled.path)) {
            io::Journal journal;
            if (settled.identity.exists &&
                io::ReadJournal(file, journal) == io::JournalError::None &&
                io::StateOf(journal.owner) == io::OwnerState::Dead &&
                journal.identity.device == settled.identity.device &&
                journal.identity.inode == settled.identity.inode) {
                journal.identity = settled.identity;
                io::WriteJournalFile(file, io::SerializeJournal(journal));
            }
        }
        if (const QString message = io::SettledSaveMessage(settled); !message.isEmpty())
            CUiServices::Get().Warning(message);
    }
}

CEditorApp::RecoveryChoice CEditorApp::OfferRecovery(const QString& file,
                                                     const io::Journal& journal) {
    const QString time =
        journal.written.toLocalTime().toString(res::LoadString(res::IDS_JOURNAL_TIME_FORMAT));
    QString question = res::LoadString(res::IDP_RECOVER_ASK).arg(DisplayName(journal), time);
    if (journal.editsStopped) // the text up to a damaged edit record
        question += u'\n' + res::LoadString(res::IDS_JOURNAL_EDITS_STOPPED);
    for (;;) {
        switch (CUiServices::Get().AskRecover(question)) {
        case CUiServices::RecoveryAnswer::Recover:
            if (m_terminating || !m_document->SaveModified())
                return RecoveryChoice::Cancelled;
            m_document->RestoreFromJournal(journal.path, journal.text, journal.identity,
                                           journal.format);
            // The recovered text is in this process's journal before the
            // old one goes.
            if (m_keeper->WriteNow())
                io::RemoveJournalFile(file);
            return RecoveryChoice::Recovered;
        case CUiServices::RecoveryAnswer::Keep:
            return RecoveryChoice::Kept;
        case CUiServices::RecoveryAnswer::Discard:
            if (m_terminating)
                return RecoveryChoice::Kept;
            if (CUiServices::Get().ConfirmDiscardRecovery(
                    res::LoadString(res::IDP_RECOVER_DISCARD_CONFIRM).arg(DisplayName(journal)))) {
                io::RemoveJournalFile(file);
                return RecoveryChoice::Discarded;
            }
            break; // asked again
        }
    }
}

bool CEditorApp::OfferRecoveries(const QString& except) {
    const QString skipped = except.isEmpty() ? QString() : io::AbsolutePath(except);
    struct Found {
        QString file;
        io::Journal journal;
    };
    std::vector<Found> found;
    for (const QString& file : io::ListJournalFiles(m_keeper->Folder())) {
        io::Journal journal;
        if (io::ReadJournal(file, journal) != io::JournalError::None)
            continue; // kept as it is
        if (io::StateOf(journal.owner) != io::OwnerState::Dead)
            continue;
        if (!journal.hasText) {
            io::RemoveJournalFile(file); // the record of an editor that is gone
            continue;
        }
        if (!skipped.isEmpty() && (journal.path == skipped || IsSameFile(journal.path, skipped)))
            continue;
        found.push_back({file, std::move(journal)});
    }
    // The latest first: most likely the one wanted.
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.journal.written > b.journal.written; });
    for (const Found& f : found) {
        if (m_terminating)
            return false;
        switch (OfferRecovery(f.file, f.journal)) {
        case RecoveryChoice::Recovered:
            return true; // the others wait for a later start
        case RecoveryChoice::Cancelled:
            return false;
        case RecoveryChoice::Kept:
        case RecoveryChoice::Discarded:
            break;
        }
    }
    return false;
}

CEditorApp::JournalCheck CEditorApp::CheckJournalsOf(const QString& path) {
    bool inUseAsked = false;
    for (const QString& file : io::ListJournalFiles(m_keeper->Folder(), path)) {
        io::Journal journal;
        if (io::ReadJournal(file, journal) != io::JournalError::None ||
            !(journal.path == path || IsSameFile(journal.path, path)))
            continue;
        switch (io::StateOf(journal.owner)) {
        case io::OwnerState::Self:
            break;
        case io::OwnerState::Alive:
            if (!inUseAsked) {
                if (!CUiServices::Get().AskOpenInUse(
                        res::LoadString(res::IDP_FILE_IN_USE).arg(QDir::toNativeSeparators(path))))
                    return JournalCheck::Cancelled;
                inUseAsked = true;
            }
            break;
        case io::OwnerState::Dead:
            if (!journal.hasText) {
                io::RemoveJournalFile(file);
                break;
            }
            switch (OfferRecovery(file, journal)) {
            case RecoveryChoice::Recovered:
                return JournalCheck::Recovered;
            case RecoveryChoice::Cancelled:
                return JournalCheck::Cancelled;
            case RecoveryChoice::Kept:
            case RecoveryChoice::Discarded:
                break;
            }
            break;
        }
    }
    return JournalCheck::Proceed;
}

void CEditorApp::OnTerminationSignal() {
    if (m_terminating)
        return;
    m_terminating = true;
    m_document->CancelLoad(); // nothing half-loaded is kept
    bool written = true;
    if (m_keeper) {
        if (m_document->IsModified()) {
            written = m_keeper->WriteNow();
            m_keepJournal = true;
        } else {
            m_keeper->Release();
        }
    }
    m_exitCode = written ? 0 : 1;
    QCoreApplication::exit(m_exitCode);
}
