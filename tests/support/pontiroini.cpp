#include "tests/support/pontiroini.h"

#include "tests/support/files.h"

PontiroIni PontiroIni::Installation(const std::string& server)
{
    PontiroIni ini;
    ini.Language("en").MemoryCard(false);
    ini.Set("addressbook", "hostname", server)
        .Set("addressbook", "url", "/kelvonet/pnd")
        .Set("addressbook", "dir", "Contacts")
        .Set("addressbook", "filename", "addressbook.vcf");
    ini.Set("speedcam", "hostname", server)
        .Set("speedcam", "url", "/kelvonet/pnd")
        .Set("speedcam", "dir", "Speedcams")
        .Set("speedcam", "filename", "speedcams.txt")
        .Set("speedcam", "filenamev2", "speedcams_mobile.txt")
        .Set("speedcam", "filenamestatic", "speedcams_fixed.txt");
    return ini;
}

PontiroIni& PontiroIni::Roadbook(const std::string& server)
{
    return Set("20minutes", "hostname", server)
        .Set("20minutes", "url", "/kelvonet/pnd")
        .Set("20minutes", "dir", "Roadbook")
        .Set("20minutes", "filename", "roadbook.txt");
}

PontiroIni& PontiroIni::Set(const std::string& section, const std::string& key, const std::string& value)
{
    Section* found = nullptr;
    for (Section& s : m_sections)
        if (s.name == section)
            found = &s;
    if (!found)
    {
        m_sections.push_back(Section{section, {}});
        found = &m_sections.back();
    }
    for (auto& entry : found->entries)
    {
        if (entry.first == key)
        {
            entry.second = value;
            return *this;
        }
    }
    found->entries.emplace_back(key, value);
    return *this;
}

std::string PontiroIni::Text() const
{
    std::string text;
    for (const Section& section : m_sections)
    {
        text += "[" + section.name + "]\n";
        for (const auto& entry : section.entries)
            text += entry.first + "=" + entry.second + "\n";
    }
    return text;
}

bool PontiroIni::Write(const std::string& path) const
{
    return WriteFile(path, Text());
}
