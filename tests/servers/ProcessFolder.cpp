#include "tests/servers/ProcessFolder.h"

#include "testdata/Fixtures.h"

#include <unistd.h>

namespace servers {
namespace {

// A forked child that exits through exit() must not take the folder along.
struct Folder {
    Folder() : path(fixtures::MakeTempDir("nilo-servers")), owner(::getpid()) {}
    ~Folder()
    {
        if (::getpid() == owner)
            fixtures::RemoveTree(path);
    }
    std::string path;
    pid_t owner;
};

} // namespace

const std::string& ProcessFolder()
{
    static const Folder folder;
    return folder.path;
}

} // namespace servers
