// Placeholder entry point until the wizard window lands.
#include <cstdio>

int main()
{
    std::fputs("Pontiro: the wizard window is not built yet.\n", stderr);
    return 1;
}
