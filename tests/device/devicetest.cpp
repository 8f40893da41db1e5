#include "devicetest.h"

#include "device/vdxrdev.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

TempFolder::TempFolder()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/pontiro-device-XXXXXX";
    if (!mkdtemp(&pattern[0]))
        throw std::runtime_error("cannot make a scratch folder");
    m_path = pattern;
}

static void RemoveTree(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode))
    {
        for (const std::string& name : Entries(path))
            RemoveTree(path + "/" + name);
        rmdir(path.c_str());
    }
    else
    {
        unlink(path.c_str());
    }
}

TempFolder::~TempFolder()
{
    RemoveTree(m_path);
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

void WriteText(const std::string& path, const std::string& text)
{
    WriteFile(path, Bytes(text.begin(), text.end()));
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool PathExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void MakeDirs(const std::string& path)
{
    for (std::size_t at = 1; at != std::string::npos; at = path.find('/', at + 1))
        mkdir(path.substr(0, at).c_str(), 0777);
    if (mkdir(path.c_str(), 0777) != 0 && !PathExists(path))
        throw std::runtime_error("cannot make " + path);
}

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir.get()))
    {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

Bytes Utf16(const std::u16string& text)
{
    Bytes bytes;
    for (char16_t unit : text)
    {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

void EventLog::QueueEvent(wxEvent* event)
{
    std::unique_ptr<wxEvent> owned(event);
    const auto* notify = dynamic_cast<wxThreadEvent*>(event);
    if (!notify || event->GetEventType() != EVT_DEVICE)
    {
        events.push_back("foreign event");
        return;
    }
    const int id = event->GetId();
    if (id == ID_DEVICE_STARTED)
        events.push_back("started");
    else if (id == ID_DEVICE_PROGRESS)
        events.push_back(std::to_string(notify->GetInt()));
    else if (id == ID_DEVICE_FINISHED)
        events.push_back("finished");
    else if (id == ID_DEVICE_FAILED)
        events.push_back("failed");
    else
        events.push_back("unknown id");
}
