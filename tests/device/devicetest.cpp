#include "devicetest.h"

#include "tests/support/licensefile.h"

#include <sys/stat.h>

#include <stdexcept>

void MakeDirs(const std::string& path)
{
    for (std::size_t at = 1; at != std::string::npos; at = path.find('/', at + 1))
        mkdir(path.substr(0, at).c_str(), 0777);
    if (mkdir(path.c_str(), 0777) != 0 && !PathExists(path))
        throw std::runtime_error("cannot make " + path);
}

Bytes Utf16(const std::u16string& text)
{
    const std::string bytes = Utf16Le(text);
    return Bytes(bytes.begin(), bytes.end());
}
