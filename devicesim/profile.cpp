#include "devicesim/profile.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace devsim
{
const char* const kProfileFileName = "devicesim.ini";

namespace
{
std::string Trim(const std::string& text)
{
    const char* blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return std::string();
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool ParseBool(const std::string& value, bool& out)
{
    if (value == "yes" || value == "true" || value == "1")
        out = true;
    else if (value == "no" || value == "false" || value == "0")
        out = false;
    else
        return false;
    return true;
}

template <typename T>
bool ParseNumber(const std::string& value, T& out)
{
    if (value.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const bool negative = value[0] == '-';
    if (negative)
    {
        const long long n = std::strtoll(value.c_str(), &end, 0);
        out = static_cast<T>(n);
    }
    else
    {
        const unsigned long long n = std::strtoull(value.c_str(), &end, 0);
        out = static_cast<T>(n);
    }
    return errno == 0 && end && *end == 0;
}

bool ParseHex(const std::string& value, std::vector<std::uint8_t>& out)
{
    out.clear();
    std::string digits;
    for (char c : value)
    {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += c;
        else if (c != ' ' && c != ':' && c != '-')
            return false;
    }
    if (digits.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return true;
}

std::vector<std::string> SplitList(const std::string& value)
{
    std::vector<std::string> items;
    std::stringstream stream(value);
    std::string item;
    while (std::getline(stream, item, ','))
    {
        item = Trim(item);
        if (!item.empty())
            items.push_back(item);
    }
    return items;
}

bool Apply(DeviceProfile& p, const std::string& key, const std::string& value)
{
    if (key == "link_delay_ms")
    {
        if (value == "never")
        {
            p.linkDelayMs = -1;
            return true;
        }
        return ParseNumber(value, p.linkDelayMs) && p.linkDelayMs >= 0;
    }
    if (key == "init_result")
        return ParseNumber(value, p.initResult);
    if (key == "link_result")
        return ParseNumber(value, p.linkResult);
    if (key == "vendor_codes")
        return ParseBool(value, p.vendorCodes);
    if (key == "map_vender")
        return p.mapVender = value, true;
    if (key == "map_extra")
        return p.mapExtra = value, true;
    if (key == "device_id_preset")
        return ParseHex(value, p.deviceIdPreset);
    if (key == "device_id_platform")
        return ParseHex(value, p.deviceIdPlatform);
    if (key == "device_id_record")
        return p.hasDeviceIdRecord = true, ParseHex(value, p.deviceIdRecord);
    if (key == "device_id_error")
        return ParseNumber(value, p.deviceIdError);
    if (key == "card_folder")
        return p.cardFolder = value, true;
    if (key == "card_manufacturer")
        return p.cardManufacturer = value, true;
    if (key == "card_serial")
        return p.cardSerial = value, true;
    if (key == "card_flags")
        return ParseNumber(value, p.cardFlags);
    if (key == "card_record")
        return p.hasCardRecord = true, ParseHex(value, p.cardRecord);
    if (key == "card_query_first_fails")
        return ParseBool(value, p.cardQueryFirstFails);
    if (key == "oem_info")
        return p.hasOemInfo = true, p.oemInfo = value, true;
    if (key == "no_oem_info")
    {
        bool none = false;
        if (!ParseBool(value, none))
            return false;
        p.hasOemInfo = !none;
        return true;
    }
    if (key == "disk_total")
        return ParseNumber(value, p.diskTotal);
    if (key == "disk_free")
        return ParseNumber(value, p.diskFree);
    if (key == "disk_error")
        return ParseNumber(value, p.diskError);
    if (key == "windows")
        return p.windows = SplitList(value), true;
    if (key == "refuse_create")
        return p.refuseCreate = SplitList(value), true;
    if (key == "refuse_error")
        return ParseNumber(value, p.refuseError);
    if (key == "write_fault_path")
        return p.writeFaultPath = value, true;
    if (key == "write_fail_after")
        return ParseNumber(value, p.writeFailAfter);
    if (key == "write_short_after")
        return ParseNumber(value, p.writeShortAfter);
    if (key == "write_zero")
        return ParseBool(value, p.writeZero);
    if (key == "write_error")
        return ParseNumber(value, p.writeError);
    if (key == "read_fault_path")
        return p.readFaultPath = value, true;
    if (key == "read_fail_after")
        return ParseNumber(value, p.readFailAfter);
    if (key == "read_error")
        return ParseNumber(value, p.readError);
    if (key == "size_extra")
        return ParseNumber(value, p.sizeExtra);
    if (key == "list_dots")
        return ParseBool(value, p.listDots);
    if (key == "write_fail_file")
        return ParseNumber(value, p.writeFailFile);
    if (key == "read_flip_at")
        return ParseNumber(value, p.readFlipAt) && p.readFlipAt >= 0;
    if (key == "move_error")
        return ParseNumber(value, p.moveError);
    if (key == "link_lost_after_bytes")
        return ParseNumber(value, p.linkLostAfterBytes) && p.linkLostAfterBytes >= 0;
    if (key == "link_lost_after_moves")
        return ParseNumber(value, p.linkLostAfterMoves) && p.linkLostAfterMoves >= 0;
    if (key == "invoke_result")
        return ParseNumber(value, p.invokeResult);
    if (key == "reply_function")
        return p.replyFunction = value, true;
    if (key == "reply")
        return p.hasReply = true, ParseHex(value, p.reply);
    if (key == "reply_fault")
    {
        p.replyFault = value;
        return value.empty() || value == "empty" || value == "unterminated"
               || value == "inner-zero";
    }
    if (key == "alloc_fail")
        return ParseNumber(value, p.allocFail);
    return false;
}
}

DeviceProfile ParseProfile(const std::string& text)
{
    DeviceProfile profile;
    std::stringstream stream(text);
    std::string line;
    while (std::getline(stream, line))
    {
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        const auto equals = trimmed.find('=');
        if (equals == std::string::npos)
        {
            profile.problems.push_back(trimmed);
            continue;
        }
        std::string key = Trim(trimmed.substr(0, equals));
        for (char& c : key)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!Apply(profile, key, Trim(trimmed.substr(equals + 1))))
            profile.problems.push_back(trimmed);
    }
    return profile;
}

DeviceProfile LoadProfile(const std::string& root)
{
    std::ifstream file(root + "/" + kProfileFileName, std::ios::binary);
    if (!file)
        return DeviceProfile();
    std::stringstream text;
    text << file.rdbuf();
    return ParseProfile(text.str());
}

std::string NormalizeDevicePath(const std::string& path)
{
    std::string out;
    std::string part;
    auto flush = [&]() {
        if (!part.empty())
            out += "/" + part;
        part.clear();
    };
    for (char c : path)
    {
        if (c == '/' || c == '\\')
            flush();
        else
            part += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    flush();
    return out.empty() ? std::string("/") : out;
}
}
