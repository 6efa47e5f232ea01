#pragma once

#include <QString>

// The temporary WAV file a converted track is read into: a new empty file
// "tem<unique>.wav" in the system's temporary folder, which this object
// removes when it is done with it (remove(), the next create(), clear() or
// its destruction). The path stays known after a removal, so that a writer
// still finishing into it can be cleaned up after by calling remove() again.
//
// Window thread; the writer writes into the file but never removes it.
class TemporaryWavFile
{
public:
    TemporaryWavFile() = default;
    ~TemporaryWavFile();
    TemporaryWavFile(const TemporaryWavFile &) = delete;
    TemporaryWavFile &operator=(const TemporaryWavFile &) = delete;
    // The file goes with the move; the moved-from object holds none.
    TemporaryWavFile(TemporaryWavFile &&other) noexcept;
    TemporaryWavFile &operator=(TemporaryWavFile &&other) noexcept;

    // Removes the file held so far and makes a new one. Throws EPcmException
    // "Cannot create a temporary file in <folder>..." when it cannot.
    void create();
    // The latest file's path, empty before the first create() and after clear().
    QString path() const { return m_path; }
    // Deletes the file if it is there; the path stays.
    void remove();
    // Deletes the file and forgets its path.
    void clear();

private:
    QString m_path;
};
