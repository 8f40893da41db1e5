// The build's check of a device-side library given for docked devices
// (cmake/CheckDeviceImage.cmake), on PE files made here: a Windows CE ARM
// DLL with the seven VDX exports passes; anything a device cannot load, or
// that lacks an export, is refused with the reason.
#include "tests/support/scratchfolder.h"

#include <gtest/gtest.h>

#include <wx/init.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace
{
const std::vector<std::string> kExports = {
    "VDXGetDeviceID", "VDXGetCardID",  "VDXGetDiskSize",     "VDXGetMapVender",
    "VDXGetMapExtra", "VDXSoftReset", "VDXStopApplication"};

struct PeFile
{
    uint16_t machine = 0x1c0;
    bool pe32Plus = false;
    bool dll = true;
    bool exportTable = true;
    std::vector<std::string> exports = kExports;
};

class Bytes
{
public:
    explicit Bytes(std::size_t size) : m_bytes(size, '\0') {}
    void Put16(std::size_t at, uint16_t v) { Put(at, v, 2); }
    void Put32(std::size_t at, uint32_t v) { Put(at, v, 4); }
    void PutText(std::size_t at, const std::string& text) { m_bytes.replace(at, text.size(), text); }
    const std::string& Text() const { return m_bytes; }

private:
    void Put(std::size_t at, uint32_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            m_bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
    }
    std::string m_bytes;
};

// A minimal, well-formed PE image: headers and one section holding the
// export directory, as a linker lays them out.
std::string MakePe(const PeFile& wanted)
{
    constexpr uint32_t kPe = 0x80, kRaw = 0x400, kVa = 0x1000;
    Bytes file(kRaw + 0x400);
    file.PutText(0, "MZ");
    file.Put32(0x3c, kPe);
    file.PutText(kPe, std::string("PE\0\0", 4));
    const uint32_t optional = kPe + 24;
    const uint32_t dirs = optional + (wanted.pe32Plus ? 112 : 96);
    const uint16_t optionalSize = (wanted.pe32Plus ? 112 : 96) + 16 * 8;
    file.Put16(kPe + 4, wanted.machine);
    file.Put16(kPe + 6, 1);
    file.Put16(kPe + 20, optionalSize);
    file.Put16(kPe + 22, wanted.dll ? 0x2102 : 0x0102);
    file.Put16(optional, wanted.pe32Plus ? 0x20b : 0x10b);
    file.Put32(dirs - 4, 16);

    // The export directory, then its three tables, then the names.
    const uint32_t n = static_cast<uint32_t>(wanted.exports.size());
    const uint32_t functions = 40, names = functions + 4 * n, ordinals = names + 4 * n;
    uint32_t text = ordinals + 2 * n;
    const uint32_t dllName = text;
    file.PutText(kRaw + text, std::string("vdxrapi.dll\0", 12));
    text += 12;
    file.Put32(kRaw + 12, kVa + dllName);
    file.Put32(kRaw + 16, 1);
    file.Put32(kRaw + 20, n);
    file.Put32(kRaw + 24, n);
    file.Put32(kRaw + 28, kVa + functions);
    file.Put32(kRaw + 32, kVa + names);
    file.Put32(kRaw + 36, kVa + ordinals);
    for (uint32_t i = 0; i < n; ++i)
    {
        file.Put32(kRaw + functions + 4 * i, kVa + 0x300 + 4 * i);
        file.Put32(kRaw + names + 4 * i, kVa + text);
        file.Put16(kRaw + ordinals + 2 * i, static_cast<uint16_t>(i));
        file.PutText(kRaw + text, wanted.exports[i] + '\0');
        text += static_cast<uint32_t>(wanted.exports[i].size()) + 1;
    }
    if (wanted.exportTable)
    {
        file.Put32(dirs, kVa);
        file.Put32(dirs + 4, text);
    }

    const uint32_t section = optional + optionalSize;
    file.PutText(section, ".edata");
    file.Put32(section + 8, 0x400);
    file.Put32(section + 12, kVa);
    file.Put32(section + 16, 0x400);
    file.Put32(section + 20, kRaw);
    file.Put32(section + 36, 0x40000040);
    return file.Text();
}

struct Verdict
{
    bool accepted;
    std::string output;
};

std::string Source()
{
    const char* source = std::getenv("PONTIRO_SOURCE_DIR");
    return source ? source : "";
}

// Runs a CMake script with the given definitions.
Verdict RunScript(const std::string& script, const std::vector<std::string>& definitions)
{
    const char* cmake = std::getenv("PONTIRO_CMAKE");
    if (!cmake || Source().empty())
        return {false, "PONTIRO_CMAKE or PONTIRO_SOURCE_DIR is not set"};
    std::string command = "'" + std::string(cmake) + "'";
    for (const std::string& definition : definitions)
        command += " '-D" + definition + "'";
    command += " -P '" + Source() + "/" + script + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {false, "cannot run " + command};
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    const int status = pclose(pipe);
    // CMake wraps its messages: compare them with single blanks.
    std::string flat;
    for (char c : output)
        if (!std::isspace(static_cast<unsigned char>(c)))
            flat += c;
        else if (!flat.empty() && flat.back() != ' ')
            flat += ' ';
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0, flat};
}

Verdict Check(const std::string& image)
{
    return RunScript("cmake/CheckDeviceImage.cmake", {"IMAGE=" + image});
}

class DeviceImage : public ::testing::Test
{
protected:
    // A file of the scratch folder with these bytes.
    std::string Written(const std::string& name, const std::string& bytes)
    {
        EXPECT_TRUE(m_scratch.Write(name, bytes)) << name;
        return Path(name);
    }
    std::string Path(const std::string& name) const { return m_scratch / name; }
    std::string Read(const std::string& name) const { return m_scratch.Read(name); }

private:
    wxInitializer m_toolkit;
    ScratchFolder m_scratch;
};

struct Case
{
    const char* name;
    std::string image; // the file's bytes, or a path when `path` is set
    bool path;
    bool accepted;
    const char* reason;
};

PeFile With(void (*change)(PeFile&))
{
    PeFile wanted;
    change(wanted);
    return wanted;
}
}

TEST_F(DeviceImage, AcceptsWindowsCeArmDllsWithTheExportsAndRefusesTheRest)
{
    const std::string arm = MakePe(PeFile());
    const std::vector<Case> cases = {
        {"arm", arm, false, true, ""},
        {"thumb", MakePe(With([](PeFile& s) { s.machine = 0x1c2; })), false, true, ""},
        {"x86-64", MakePe(With([](PeFile& s) { s.machine = 0x8664; s.pe32Plus = true; })), false,
         false, "built for machine 0x8664 (x86-64), not for Windows CE on ARM"},
        {"armnt", MakePe(With([](PeFile& s) { s.machine = 0x1c4; })), false, false,
         "built for machine 0x1c4 (ARMv7 Windows)"},
        {"no-exports", MakePe(With([](PeFile& s) { s.exportTable = false; })), false, false,
         "exports nothing"},
        {"six-exports", MakePe(With([](PeFile& s) { s.exports.pop_back(); })), false, false,
         "does not export VDXStopApplication"},
        {"program", MakePe(With([](PeFile& s) { s.dll = false; })), false, false,
         "is a program, not a DLL"},
        {"cut-off", arm.substr(0, 0x90), false, false, "cut off inside its PE header"},
        {"host-library", PONTIRO_TEST_HOST_DEVICE_LIBRARY, true, false,
         "is not a Windows program file (PE)"},
        {"missing", "/nonexistent/vdxrapi.dll", true, false, "does not exist"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string file = c.path ? c.image : Written(c.name, c.image);
        const Verdict verdict = Check(file);
        EXPECT_EQ(verdict.accepted, c.accepted) << verdict.output;
        if (!c.accepted)
        {
            EXPECT_NE(verdict.output.find("Not a device-side library for docked devices"),
                      std::string::npos)
                << verdict.output;
            EXPECT_NE(verdict.output.find(c.reason), std::string::npos) << verdict.output;
        }
    }
}

// The zip's notes promise docked updates only with a library a device can
// run; otherwise they say it serves memory cards, and the build warns.
TEST_F(DeviceImage, TheWindowsPackageSaysWhatItsLibraryAllows)
{
    const std::string exe = Written("Pontiro.exe", "MZ");
    Written("catalogs/none", "");
    const std::string catalogs = Path("catalogs");
    struct
    {
        const char* name;
        std::string image;
        bool docked;
    } cases[] = {
        {"arm", Written("arm.dll", MakePe(PeFile())), true},
        {"host", PONTIRO_TEST_HOST_DEVICE_LIBRARY, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string stage = std::string(c.name) + "/Pontiro";
        const Verdict verdict = RunScript(
            "packaging/windows/makezip.cmake",
            {"EXE=" + exe, "CATALOGS=" + catalogs, "IMAGE=" + c.image, "STAGE=" + Path(stage),
             "ZIP=" + Path(std::string(c.name) + ".zip")});
        ASSERT_TRUE(verdict.accepted) << verdict.output;
        const std::string readme = Read(stage + "/readme.txt");
        const bool warned = verdict.output.find("cannot run on a device") != std::string::npos;
        const bool cardOnly = readme.find("This package serves memory-card updates") != std::string::npos;
        const bool docking = readme.find("docked through ActiveSync") != std::string::npos;
        EXPECT_EQ(warned, !c.docked) << verdict.output;
        EXPECT_EQ(cardOnly, !c.docked) << readme;
        EXPECT_EQ(docking, c.docked) << readme;
        if (!c.docked)
        {
            EXPECT_NE(readme.find("-DPONTIRO_DEVICE_LIBRARY_IMAGE"), std::string::npos) << readme;
        }
        for (std::size_t at = readme.find('\n'); at != std::string::npos; at = readme.find('\n', at + 1))
        {
            ASSERT_TRUE(at > 0 && readme[at - 1] == '\r') << "a line without a Windows line end at "
                                                         << at << ":\n" << readme;
        }
    }
}
