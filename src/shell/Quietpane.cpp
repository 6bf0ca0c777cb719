#include "platform/GuardedApplication.h"
#include "shell/ProgramEntry.h"

int main(int argc, char** argv)
{
    quietpane::TQuietpaneApplication application(argc, argv);
    return quietpane::RunQuietpane(application);
}
