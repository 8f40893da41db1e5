// The files a scene needs, written by the same helpers as the tests use, for
// scripts (the demo):
//   pontiro-test-files ini SERVER FILE     a Pontiro.ini naming the service
//                                          at SERVER (host:port) for every content
//   pontiro-test-files license TEXT FILE   a license.db holding TEXT
#include "tests/support/files.h"
#include "tests/support/licensefile.h"
#include "tests/support/pontiroini.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "ini") == 0)
        return PontiroIni::Installation(argv[2]).Roadbook(argv[2]).Write(argv[3]) ? 0 : 1;
    if (argc == 4 && std::strcmp(argv[1], "license") == 0)
        return WriteFile(argv[3], LicenseFile(argv[2])) ? 0 : 1;
    std::fputs("usage: pontiro-test-files ini SERVER FILE | license TEXT FILE\n", stderr);
    return 2;
}
