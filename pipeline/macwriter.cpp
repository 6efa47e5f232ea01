#include "pipeline/macwriter.h"

#include <QFile>

#include <algorithm>
#include <cstring>

TMACOut::TMACOut(QObject *owner, const QString &name)
    : TMACOut(Mac::Library::instance(), owner, name)
{}

TMACOut::TMACOut(const Mac::Library &library, QObject *owner, const QString &name)
    : TPcmFileOut(owner, name)
    , m_library(library)
    , m_transfer(TransferBytes)
{
    m_library.requireLoaded();
}

TMACOut::~TMACOut()
{
    shutdownWorker();
    if (IsBusy()) {
        // Freed unfinished, the compressor removes its incomplete file.
        m_compressor.reset();
        try {
            endRunRead();
        } catch (...) {
            // The source may be half gone too; there is nobody to tell.
        }
    }
}

void TMACOut::SetCompressionLevel(int32_t value)
{
    const bool known = value == 1000 || value == 2000 || value == 3000 || value == 4000;
    m_compressionLevel = known ? value : 2000;
}

void TMACOut::PrepareOutput()
{
    if (FileName().isEmpty())
        throw EPcmException("File name is not assigned.");
    Input()->BeginRead();
    m_inputOpen = true;
    m_endOfInput = false;
    m_runFailed = false;
    try {
        m_compressor = std::make_unique<TAPECompress>(m_library);
        m_compressor->FillWaveFormatEx(Input()->SampleRate(),
                                       Input()->BitsPerSample(),
                                       Input()->Channels());
        const QByteArray fileName = QFile::encodeName(FileName());
        const int32_t r = m_compressor->Start(fileName.constData(),
                                              m_maxAudioBytes,
                                              m_compressionLevel,
                                              nullptr,
                                              -1);
        if (r != 0)
            throw EPcmException(QStringLiteral("Error starting APECompress.\r\n") + MACErrorText(r));
    } catch (...) {
        // The framework calls no FinishOutput for a run that never started.
        m_compressor.reset();
        try {
            endRunRead();
        } catch (...) {
            // The error that stopped the start is the one to report.
        }
        throw;
    }
}

bool TMACOut::WriteStep(bool abort)
{
    bool result = false;
    if (!stepPrologue(abort, m_endOfInput, result))
        return result;
    try {
        const int32_t n = readInput(m_transfer.data(), TransferBytes);
        if (n <= 0) {
            m_endOfInput = true;
            return true;
        }
        handOver(n);
        return true;
    } catch (...) {
        m_runFailed = true;
        throw;
    }
}

void TMACOut::handOver(int32_t bytes)
{
    int32_t done = 0;
    while (done < bytes) {
        int32_t available = 0;
        uint8_t *target = m_compressor->LockBuffer(&available);
        // A library offering no room would have this loop spin for ever.
        if (!target || available <= 0)
            throw EPcmException("APECompress.LockBuffer offered no buffer space.");
        const int32_t k = std::min(available, bytes - done);
        std::memcpy(target, m_transfer.data() + done, static_cast<size_t>(k));
        const int32_t r = m_compressor->UnlockBuffer(k);
        if (r != 0)
            throw EPcmException(QStringLiteral("APECompress.UnlockBuffer Error: %1").arg(r));
        done += k;
    }
}

void TMACOut::FinishOutput()
{
    // May run twice for one run (again during error recovery after it
    // raised), so the compressor and the read are released before raising.
    int32_t r = 0;
    if (m_compressor && !m_runFailed)
        r = m_compressor->Finish(nullptr, 0, 0);
    // After a failed step the file is incomplete: freeing the compressor
    // unfinished removes it rather than completing a shortened file.
    m_compressor.reset();
    endRunRead();
    if (r != 0)
        throw EPcmException(QStringLiteral("Error finishing APECompress.\r\n") + MACErrorText(r));
}

void TMACOut::endRunRead()
{
    if (!m_inputOpen)
        return;
    m_inputOpen = false;
    endInputRead();
}
