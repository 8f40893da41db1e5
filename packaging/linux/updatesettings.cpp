// update-settings INSTALLATION USER
// The launcher's helper: makes the user's Pontiro.ini a private copy of the
// installation's at the first start, and at every later start brings the
// installation's settings into it (packaging/linux/settingsmerge.h).
#include "packaging/linux/settingsmerge.h"

#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/wfstream.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
int Fail(const std::string& what)
{
    std::fprintf(stderr, "update-settings: %s\n", what.c_str());
    return 1;
}

std::string Reason()
{
    return std::strerror(errno);
}

// A new file at `to` with the bytes of `from`, readable by its owner only,
// in place at once or not at all.
bool CopyPrivately(const std::string& from, const std::string& to, std::string* error)
{
    std::ifstream in(from, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof())
    {
        *error = "cannot read " + from;
        return false;
    }
    const std::string part = to + ".new";
    unlink(part.c_str());
    const int out = open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0)
    {
        *error = "cannot write " + part + ": " + Reason();
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t put = write(out, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        done += static_cast<std::size_t>(put);
    }
    bool ok = done == bytes.size() && fsync(out) == 0;
    ok = close(out) == 0 && ok;
    if (!ok)
        *error = "cannot write " + part + ": " + Reason();
    else if (rename(part.c_str(), to.c_str()) != 0)
    {
        *error = "cannot put " + to + " in place: " + Reason();
        ok = false;
    }
    if (!ok)
        unlink(part.c_str());
    return ok;
}
}

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: update-settings INSTALLATION-INI USER-INI\n");
        return 2;
    }
    const std::string installationPath = argv[1];
    const std::string userPath = argv[2];
    // Whatever the helper writes stays the user's alone.
    umask(077);

    if (access(installationPath.c_str(), R_OK) != 0)
        return Fail("cannot read " + installationPath + ": " + Reason());

    struct stat mine{};
    if (stat(userPath.c_str(), &mine) != 0)
    {
        if (errno != ENOENT)
            return Fail("cannot look at " + userPath + ": " + Reason());
        std::string error;
        return CopyPrivately(installationPath, userPath, &error) ? 0 : Fail(error);
    }

    wxInitializer toolkit;
    if (!toolkit.IsOk())
        return Fail("cannot start the toolkit");
    wxFileInputStream in(wxString::FromUTF8(installationPath));
    if (!in.IsOk())
        return Fail("cannot read " + installationPath);
    wxFileConfig installation(in);
    // The same file class the program itself reads the file with, so every
    // value means here what it means there. (It would take a relative name
    // as one in the home folder.)
    wxFileName userFile(wxString::FromUTF8(userPath));
    userFile.MakeAbsolute();
    wxFileConfig user("Pontiro", "Kelvo", userFile.GetFullPath(), wxEmptyString,
                      wxCONFIG_USE_LOCAL_FILE);
    if (MergeInstallationSettings(installation, user) && !user.Flush())
        return Fail("cannot write " + userPath);
    // Sealed credentials inside: the file is its owner's only.
    if (S_ISREG(mine.st_mode) && (mine.st_mode & 077) != 0 && chmod(userPath.c_str(), 0600) != 0)
        return Fail("cannot make " + userPath + " private: " + Reason());
    return 0;
}
