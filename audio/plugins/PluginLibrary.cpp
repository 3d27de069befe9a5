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
    // Asked for every file a plugin opens; the answer never changes.
    static std::mutex lock;
    static std::map<std::string, std::string> found;
    std::lock_guard<std::mutex> hold(lock);
    auto known = found.find(file);
    if (known != found.end())
        return known->second;
    const std::string program = platform::ExecutablePath();
    const std::string beside = program.substr(0, program.rfind('/') + 1) + file;
    const bool besideProgram = !program.empty() && access(beside.c_str(), F_OK) == 0;
    return found.emplace(file, besideProgram ? beside : std::string(NILO_PLUGIN_FOLDER) + "/" + file).first->second;
}

} // namespace audio
