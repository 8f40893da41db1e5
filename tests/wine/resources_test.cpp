// What Pontiro.exe carries in its resources, read back through the system
// as Explorer and the loader do: the program icon, the manifest, the
// version, and the device-side library as type "DLL", id 105, language
// 1036, byte for byte the image the program deploys.
#include "devicelib/devicelibraryimage.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
class ProgramResources : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* program = std::getenv("PONTIRO_PROGRAM");
        ASSERT_NE(program, nullptr);
        m_module = ::LoadLibraryExA(program, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(m_module, nullptr) << program << ": error " << ::GetLastError();
    }
    void TearDown() override
    {
        if (m_module)
            ::FreeLibrary(m_module);
    }

    std::string Bytes(LPCSTR type, LPCSTR name, WORD language) const
    {
        HRSRC found = ::FindResourceExA(m_module, type, name, language);
        if (!found)
            return std::string();
        HGLOBAL loaded = ::LoadResource(m_module, found);
        const char* bytes = static_cast<const char*>(::LockResource(loaded));
        return bytes ? std::string(bytes, ::SizeofResource(m_module, found)) : std::string();
    }

    HMODULE m_module = nullptr;
};

TEST_F(ProgramResources, DeviceLibraryAsDll105French)
{
    const WORD french = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);
    ASSERT_EQ(french, 1036);
    const std::string image = Bytes("DLL", MAKEINTRESOURCEA(105), french);
    ASSERT_EQ(image.size(), g_deviceLibraryImageSize);
    EXPECT_EQ(std::memcmp(image.data(), g_deviceLibraryImage, image.size()), 0);
    // Stored under that language alone.
    std::vector<WORD> languages;
    ::EnumResourceLanguagesA(
        m_module, "DLL", MAKEINTRESOURCEA(105),
        [](HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) -> BOOL {
            reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{1036});
}

TEST_F(ProgramResources, IconManifestAndVersion)
{
    EXPECT_NE(::FindResourceA(m_module, "pontiro", MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */), nullptr);
    EXPECT_NE(::LoadImageA(m_module, "pontiro", IMAGE_ICON, 16, 16, 0), nullptr);
    const std::string manifest = Bytes(MAKEINTRESOURCEA(24) /* RT_MANIFEST */, MAKEINTRESOURCEA(1),
                                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
    EXPECT_NE(::FindResourceA(m_module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16) /* RT_VERSION */), nullptr);
}
} // namespace
