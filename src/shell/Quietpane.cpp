#include <cstdio>

int main()
{
    std::puts("Quietpane: the windows are not built yet.");
    return 0;
}
