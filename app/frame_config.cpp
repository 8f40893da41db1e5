// The configuration file: installation settings are only read, the user's
// settings are read and written back.
#include "app/frame.h"

#include "crypt/seal.h"

#include <wx/fileconf.h>
#include <wx/intl.h>

#include <climits>

namespace
{
// A missing or unreadable entry leaves the value as it was; the toolkit's
// own readers would log a warning or change it on a bad number.
bool ReadLong(const wxFileConfig& config, const wxString& key, long* value)
{
    wxString text;
    if (!config.Read(key, &text))
        return false;
    long number = 0;
    if (!text.Trim(true).Trim(false).ToLong(&number))
        return false;
    *value = number;
    return true;
}

void ReadBool(const wxFileConfig& config, const wxString& key, bool* value)
{
    long number = 0;
    if (ReadLong(config, key, &number))
        *value = number != 0;
}

void ReadInt(const wxFileConfig& config, const wxString& key, int* value)
{
    long number = 0;
    if (ReadLong(config, key, &number) && number >= INT_MIN && number <= INT_MAX)
        *value = static_cast<int>(number);
}

wxString ReadText(const wxFileConfig& config, const wxString& key)
{
    return config.Read(key, wxString());
}
}

void wxPontiroFrame::LoadConfiguration()
{
    const wxFileConfig& config = *m_config;

    const wxString code = ReadText(config, "Pontiro/language");
    for (int row = 0; row < kLanguageCount; ++row)
    {
        if (code == g_languages[row].code)
            m_languageIndex = row;
    }

    m_email = UnsealText(ReadText(config, "addressbook/username"));
    m_password = UnsealText(ReadText(config, "addressbook/password"));

    ReadBool(config, "Pontiro/usememorycard", &m_useMemoryCard);
    ReadBool(config, "proxy/useproxy", &m_useProxy);

    m_proxyHost = ReadText(config, "proxy/address");
    ReadInt(config, "proxy/port", &m_proxyPort);

    if (!m_useProxy)
        m_proxyPort = 8080;
    m_useProxy = m_useProxy && !m_proxyHost.empty();

    m_hostNames[CONTENT_ADDRESSBOOK] = ReadText(config, "addressbook/hostname");
    m_hostNames[CONTENT_SPEEDCAM] = ReadText(config, "speedcam/hostname");
    m_hostNames[CONTENT_ROADBOOK] = ReadText(config, "20minutes/hostname");

    m_dirs[CONTENT_ADDRESSBOOK] = ReadText(config, "addressbook/dir");
    m_dirs[CONTENT_SPEEDCAM] = ReadText(config, "speedcam/dir");
    m_dirs[CONTENT_ROADBOOK] = ReadText(config, "20minutes/dir");

    m_fileNames[CONTENT_ADDRESSBOOK] = ReadText(config, "addressbook/filename");
    m_fileNames[CONTENT_SPEEDCAM] = ReadText(config, "speedcam/filename");
    m_fileNames[CONTENT_SPEEDCAM_V2] = ReadText(config, "speedcam/filenamev2");
    m_fileNames[CONTENT_SPEEDCAM_STATIC] = ReadText(config, "speedcam/filenamestatic");
    m_fileNames[CONTENT_ROADBOOK] = ReadText(config, "20minutes/filename");

    m_urls[CONTENT_ADDRESSBOOK] = ReadText(config, "addressbook/url");
    m_urls[CONTENT_SPEEDCAM] = ReadText(config, "speedcam/url");
    m_urls[CONTENT_ROADBOOK] = ReadText(config, "20minutes/url");

    // Not configuration, but rebuilt here so they follow the language.
    m_downloadTexts[CONTENT_ADDRESSBOOK] = _("Downloading addressbook...");
    m_downloadTexts[CONTENT_SPEEDCAM] = _("Downloading speedcam database...");
    m_downloadTexts[CONTENT_ROADBOOK] = _("Downloading 20 minutes weekend roadbook...");
    m_uploadTexts[CONTENT_ADDRESSBOOK] = _("Uploading addressbook to device...");
    m_uploadTexts[CONTENT_SPEEDCAM] = _("Uploading speedcam database to device...");
    m_uploadTexts[CONTENT_ROADBOOK] = _("Uploading 20 minutes weekend roadbook to device...");
}

void wxPontiroFrame::SaveConfiguration()
{
    m_config->Write("proxy/useproxy", m_useProxy);
    m_config->Write("proxy/address", m_proxyHost);
    m_config->Write("proxy/port", static_cast<long>(m_proxyPort));

    m_config->Write("addressbook/username", SealText(m_email));
    m_config->Write("addressbook/password", SealText(m_password));

    m_config->Write("Pontiro/language", wxString(g_languages[m_languageIndex].code));
    m_config->Write("Pontiro/usememorycard", m_useMemoryCard);
}
