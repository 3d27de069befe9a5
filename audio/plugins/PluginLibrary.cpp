#include "audio/plugins/PluginLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "platform/ProcessCopies.h"

namespace audio {

void* LibrarySymbol(const std::string& library, const char* symbol)
{
    static std::mutex lock;
    // Never closed: decoders made by a plugin may outlive every caller here.
    static std::map<std::string, void*> opened;
    std::lock_guard<std::mutex> hold(lock);
    auto known = opened.find(library);
    if (known == opened.end())
        known = opened.emplace(library, dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL)).first;
    return known->second ? dlsym(known->second, symbol) : nullptr;
}

std::string PluginPath(const std::string& file)
{
    const std::string program = platform::ExecutablePath();
    const std::string beside = program.substr(0, program.rfind('/') + 1) + file;
    if (!program.empty() && access(beside.c_str(), F_OK) == 0)
        return beside;
    return std::string(NILO_PLUGIN_FOLDER) + "/" + file;
}

} // namespace audio
