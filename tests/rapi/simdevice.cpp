#include "simdevice.h"

#include "device/vdxrdev.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

const char* const SIM_PROVIDER = PONTIRO_TEST_SIM_PROVIDER;
const char* const SIM_PARTIAL_PROVIDER = PONTIRO_TEST_SIM_PARTIAL_PROVIDER;

namespace
{
void RemoveTree(const std::string& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return;
    if (S_ISDIR(info.st_mode))
    {
        if (DIR* dir = ::opendir(path.c_str()))
        {
            std::vector<std::string> names;
            while (const dirent* entry = ::readdir(dir))
            {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.push_back(name);
            }
            ::closedir(dir);
            for (const std::string& name : names)
                RemoveTree(path + "/" + name);
        }
        ::rmdir(path.c_str());
    }
    else
    {
        ::unlink(path.c_str());
    }
}
}

SimDevice::SimDevice()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/pontiro-sim-XXXXXX";
    if (!::mkdtemp(&pattern[0]))
        throw std::runtime_error("cannot make a device folder");
    m_root = pattern;
    MakeFolder("/windows");
    ::setenv("PONTIRO_DEVICE_ROOT", m_root.c_str(), 1);
    ::setenv("PONTIRO_RAPI_LIBRARY", SIM_PROVIDER, 1);
    DevSimReset();
}

SimDevice::~SimDevice()
{
    DevSimReset();
    RemoveTree(m_root);
}

std::string SimDevice::Host(const std::string& devicePath) const
{
    return m_root + devicePath;
}

void SimDevice::SetProfile(const std::string& text) const
{
    std::ofstream(m_root + "/devicesim.ini", std::ios::trunc) << text;
}

void SimDevice::MakeFolder(const std::string& devicePath) const
{
    ::mkdir(Host(devicePath).c_str(), 0777);
}

void SimDevice::PutFile(const std::string& devicePath, const Bytes& bytes) const
{
    std::ofstream out(Host(devicePath), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes SimDevice::GetFile(const std::string& devicePath) const
{
    std::ifstream in(Host(devicePath), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SimDevice::Has(const std::string& devicePath) const
{
    struct stat info;
    return ::stat(Host(devicePath).c_str(), &info) == 0;
}

DEVSIM_COUNTERS SimDevice::Counters()
{
    DEVSIM_COUNTERS counters = {};
    DevSimGetCounters(&counters);
    return counters;
}

std::vector<std::string> SimDevice::Calls(const std::string& prefix)
{
    std::string log(DevSimGetLog(nullptr, 0) + 1, '\0');
    DevSimGetLog(&log[0], log.size());
    std::vector<std::string> lines;
    std::istringstream stream(log.c_str());
    std::string line;
    while (std::getline(stream, line))
    {
        if (line.compare(0, prefix.size(), prefix) == 0)
            lines.push_back(line);
    }
    return lines;
}

void EventLog::QueueEvent(wxEvent* event)
{
    const int id = event->GetId();
    if (id == ID_DEVICE_STARTED)
        events.push_back("started");
    else if (id == ID_DEVICE_FINISHED)
        events.push_back("finished");
    else if (id == ID_DEVICE_FAILED)
        events.push_back("failed");
    else if (id == ID_DEVICE_PROGRESS)
        events.push_back(std::to_string(static_cast<wxThreadEvent*>(event)->GetInt()));
    delete event;
}
