// Writes a file under a temporary name in the target's folder and puts it in
// place only once every byte is written and flushed: a failed write (card
// full, card pulled) leaves the previous file exactly as it was.
#ifndef PONTIRO_DEVICE_ATOMICFILEWRITER_H
#define PONTIRO_DEVICE_ATOMICFILEWRITER_H

#include <wx/string.h>

#include <cstddef>
#include <memory>

class wxFile;

class AtomicFileWriter
{
public:
    AtomicFileWriter();
    // Abandons a file that was opened but not committed.
    ~AtomicFileWriter();

    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary beside target; false when the target's folder is
    // missing or refuses new files, or the target is a folder.
    bool Open(const wxString& target);
    // How many of the bytes were written: fewer when the file system took
    // only part of them, 0 when the write failed.
    std::size_t Write(const void* data, std::size_t size);
    // Flushes, closes and renames the temporary over the target.
    bool Commit();
    // Closes and removes the temporary; the target is untouched.
    void Abandon();

    const wxString& GetTempPath() const { return m_tempPath; }

private:
    std::unique_ptr<wxFile> m_file;
    wxString m_target;
    wxString m_tempPath;
    bool m_createdTarget = false;    // the target did not exist before
};

#endif
