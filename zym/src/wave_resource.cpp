#include "wave_resource.h"

#include "wave_image.h"

#include <mmsystem.h>

namespace zym {

bool playWaveResource(HMODULE module, const std::string& name, const std::string& type) {
    if (name.empty() || type.empty())
        return false;
    // "#123" names and types are numeric ids; FindResourceA understands that form.
    HRSRC found = ::FindResourceA(module, name.c_str(), type.c_str());
    if (found == nullptr)
        return false;
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* image = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = ::SizeofResource(module, found);
    if (image == nullptr ||
        !isPlayableWave({static_cast<const std::uint8_t*>(image), static_cast<std::size_t>(size)}))
        return false;
    // Without a sound device PlaySound fails at once or plays nothing; neither is
    // the caller's concern, so its result is not examined.
    ::PlaySoundA(static_cast<LPCSTR>(image), nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
    return true;
}

} // namespace zym
