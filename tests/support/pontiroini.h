// The text of a "Pontiro.ini", built entry by entry: sections and keys keep
// the order they were first set in.
#ifndef PONTIRO_TESTS_SUPPORT_PONTIROINI_H
#define PONTIRO_TESTS_SUPPORT_PONTIROINI_H

#include <string>
#include <utility>
#include <vector>

class PontiroIni
{
public:
    // The installation the end-to-end runs, the demo and the benchmark use:
    // English, no memory card, both contents from `server` (host:port) into
    // the folders Contacts and Speedcams.
    static PontiroIni Installation(const std::string& server);
    // The weekend roadbook's settings as well (never requested).
    PontiroIni& Roadbook(const std::string& server);

    PontiroIni& Language(const std::string& code) { return Set("Pontiro", "language", code); }
    PontiroIni& MemoryCard(bool on) { return Set("Pontiro", "usememorycard", on ? "1" : "0"); }
    // Adds the entry, or replaces its value where it is.
    PontiroIni& Set(const std::string& section, const std::string& key, const std::string& value);

    std::string Text() const;
    bool Write(const std::string& path) const;

private:
    struct Section
    {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    std::vector<Section> m_sections;
};

#endif
